// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/channelvalues.h"

ChannelValues::~ChannelValues() = default;
