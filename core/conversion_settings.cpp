#include "core/conversion_settings.h"

const ConversionSettings DefaultConversionSettings = {2.0, 1.32, 1.32, 1.0, 1};

ConversionSettings conversionSettings = DefaultConversionSettings;
