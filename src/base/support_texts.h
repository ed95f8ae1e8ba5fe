// Texts that many alerts share, and the maker's addresses. In toolkit message
// texts an at-sign is written twice ("@@" shows one).
#pragma once

#define SUPPORT_ADDRESS "support@@kestrova.example"
#define WEBSITE_ADDRESS "https://www.kestrova.example"

// The last line of every alert about the pedal; callers put "> " or a single
// space before it.
#define SUPPORT_LINE "< Direct support email : " SUPPORT_ADDRESS " >"

// What to try when a pedal action keeps failing; ends with the support line.
#define RECOVERY_ADVICE                                                                   \
    "> If problem persisted try one or more of the following :\n\n"                       \
    "    * Recycle power to the pedal (unplug the power cable, re-plug, click 'Connect').\n\n" \
    "    * Recycle the USB port (unplug the USB cable, re-plug, click 'Connect').\n\n"      \
    "    * Plug to other available USB port, then click 'Connect'.\n\n"                    \
    "> " SUPPORT_LINE
