#include "channelvalues.h"

ChannelValues::~ChannelValues() = default;
