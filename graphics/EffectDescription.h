#pragma once
// The effect of both programs as the device builds it: its 20 parameters (samplers s0 and s1
// are the device's texture stages) and its 10 techniques with their pass states, each technique
// compiled from the effect's one GLSL source with its own name defined.

#include <string_view>

#include "platform/graphics/GraphicsEffect.h"

platform::EffectDesc DescribeEffect(std::string_view source);
