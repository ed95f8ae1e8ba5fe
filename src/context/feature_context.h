// What every feature is handed at construction instead of the main window:
// the pedal link, the Dashboard (its sound operations: apply a record, the
// record and the image it gives), the status log writer and the registry of
// controls that an exchange guard holds, and where to report a Dashboard
// replaced as a whole (context/dashboard_steps.h). The shell fills it once; features
// keep a copy.
#pragma once

class DashboardSteps;
class ExchangeControls;
class OV_Parameters;
class OV_UsbController;
class StatusWriter;

struct FeatureContext {
    OV_UsbController* usb = nullptr;
    OV_Parameters* dashboard = nullptr;
    StatusWriter* log = nullptr;
    ExchangeControls* exchanges = nullptr;
    DashboardSteps* steps = nullptr;
};
