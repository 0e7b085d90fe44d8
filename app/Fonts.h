// The window is laid out for Tahoma's metrics. Where the system has no
// Tahoma, Wine's metric-compatible Tahoma is loaded when it is installed.
#pragma once

void LoadTahomaWhereMissing();
