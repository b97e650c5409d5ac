#pragma once

// The application title: the welcome page's title and the wizard's caption there.
inline constexpr char kApplicationTitle[] = "Korvan HX410 AHRS Installation/Calibration Utility";
