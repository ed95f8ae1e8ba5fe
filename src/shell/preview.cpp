// The Dashboard's callback: every finished change on the Dashboard ends here,
// and this is the only place the Dashboard sends anything to the pedal.
#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "listen/listening.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "shell/main_window.h"

void Orvella::previewImage() {
    // An active transport panel means a pedal is connected.
    if (transportPanel_->active()) {
        int result = usb_->writePreview(dashboard_->image());
        stampStatus();
        if (result == 0)
            logStatus("parameter change ok.");
        else
            logStatus("parameter change offline. Error code = %d", result);
        advanceStatus(1);
    }
    // Heard at once when listening on this computer.
    if (listening_) listening_->soundChanged();
    // The sound no longer matches a stored local preset.
    if (dashboard_->live) presetPanel_->clearSelection();
    // The local preset bar belongs to the Dashboard page only: a preview
    // started from another page (a tone-chart audition) leaves it hidden.
    if (dashboard_->visible()) presetPanel_->show();
    // One undo step per change; an audition counts once, when it ends.
    if (dashboard_->live || toneChart_->listenMode == 0) edits_.dashboardChanged();
    redraw();
}
