// The platform layer: streams, the exception tree, text conversion and dates.
// Nothing outside it touches the operating system.
#pragma once

#include "kestrix/DateTime.h"
#include "kestrix/Exceptions.h"
#include "kestrix/Streams.h"
#include "kestrix/Text.h"
