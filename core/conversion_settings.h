#pragma once
// The five values that steer the conversions: process-wide, as the window's settings
// dialog and the settings file share them with every conversion.

struct ConversionSettings {
    double firstToneSeconds;  // seconds of leading tone over which the decoder measures
    double inputRatio;        // 1200 Hz amplitude relative to 2400 Hz in recordings
    double outputRatio;       // the same ratio for the waves the encoder writes
    double outputSlowness;    // slow-down factor of the written bit cells
    int basicListing;         // non-zero: list each tape image as BASIC
};

// What a missing or unreadable settings file gives.
extern const ConversionSettings DefaultConversionSettings;

extern ConversionSettings conversionSettings;
