// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/printers.h"
#include "widgets/latencyhistogram.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QtTest>

#include <gtest/gtest.h>

namespace {

struct BarsCase
{
    const char *name;
    std::map<qint64, int> perMs;
    QStringList bars; // as the pointer finds them from left to right
};

void PrintTo(const BarsCase &c, std::ostream *out)
{
    *out << c.name;
}

class LatencyHistogramTest : public testing::TestWithParam<BarsCase>
{ };

// The pointer swept across the plot meets each bar once, named by its range and count; the
// bars are a millisecond wide until there would be more than 200 of them.
TEST_P(LatencyHistogramTest, NamesTheBarUnderThePointer)
{
    const BarsCase &c = GetParam();
    LatencyHistogram histogram;
    histogram.resize(400, 300);
    histogram.setLimit(19.8);
    histogram.setCounts(c.perMs);
    QStringList met;
    for (int x = 0; x < histogram.width(); ++x) {
        const QString text = histogram.barText(QPoint(x, histogram.height() / 2));
        if (!text.isEmpty() && (met.isEmpty() || met.last() != text))
            met.append(text);
    }
    EXPECT_EQ(met, c.bars);
    EXPECT_EQ(histogram.accessibleDescription(),
              c.bars.isEmpty() ? "No replies" : c.bars.join("; "));
    EXPECT_EQ(histogram.barText(QPoint(200, 2)), ""); // the title
}

INSTANTIATE_TEST_SUITE_P(Bins, LatencyHistogramTest,
                         testing::Values(BarsCase{"None", {}, {}},
                                         BarsCase{"Milliseconds",
                                                  {{12, 2}, {13, 46}, {26, 1}},
                                                  {"12-13 ms: 2 replies", "13-14 ms: 46 replies",
                                                   "26-27 ms: 1 reply"}},
                                         BarsCase{"TwoMsAt399",
                                                  {{13, 1}, {399, 1}},
                                                  {"12-14 ms: 1 reply", "398-400 ms: 1 reply"}},
                                         BarsCase{"ThreeMsAt400",
                                                  {{0, 3}, {13, 5}, {14, 1}, {400, 1}},
                                                  {"0-3 ms: 3 replies", "12-15 ms: 6 replies",
                                                   "399-402 ms: 1 reply"}}),
                         [](const testing::TestParamInfo<BarsCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(LatencyHistogram, ShowsTheBarAsATooltip)
{
    LatencyHistogram histogram;
    histogram.resize(400, 300);
    histogram.setLimit(19.8);
    histogram.setCounts({{13, 40}});
    histogram.show();
    QPoint bar(0, histogram.height() / 2);
    while (bar.x() < histogram.width() && histogram.barText(bar).isEmpty())
        bar.rx()++;
    QHelpEvent help(QEvent::ToolTip, bar, histogram.mapToGlobal(bar));
    QCoreApplication::sendEvent(&histogram, &help);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), "13-14 ms: 40 replies");
}

} // namespace
