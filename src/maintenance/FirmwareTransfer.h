// Sends a firmware payload to a pedal waiting for firmware: 64-byte pages to
// addresses 64 x i, each echo compared with the page sent, then the version.
// The link is abstract so that the sequence is testable without a pedal.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "link/PedalLink.h"

namespace firmware {

class PageLink {
public:
    virtual ~PageLink() = default;
    // Sends one page; 0 on success, else a non-zero result code.
    virtual int writePage(unsigned address, const uint8_t* page) = 0;
    // The 64 bytes the pedal echoed for the last page written.
    virtual const uint8_t* echo() const = 0;
    // Tells the pedal the version of the firmware it has just received.
    virtual void sendVersion(uint8_t version) = 0;
};

// A PedalLink as the transfer sees it (the version goes as SetVersion; the
// pedal does not answer it, so its result tells nothing).
class PedalPageLink : public PageLink {
public:
    explicit PedalPageLink(PedalLink& link) : link_(link) {}
    int writePage(unsigned address, const uint8_t* page) override { return link_.writePage(address, page).code; }
    const uint8_t* echo() const override { return link_.reply(); }
    void sendVersion(uint8_t version) override { link_.oneByte(protocol::SetVersion, version); }

private:
    PedalLink& link_;
};

struct Outcome {
    enum Kind {
        Complete,        // every page sent and verified, version sent
        Empty,           // no payload: nothing sent
        TooLarge,        // more than 1,024 pages: nothing sent
        TransferFailed,  // a page could not be sent or its echo did not arrive
        VerifyFailed,    // a page's echo differed from the page sent
    };
    Kind kind = Empty;
    long pagesVerified = 0;   // pages sent and echoed correctly
    int code = 0;             // the link's result code for TransferFailed
};

// Called after each verified page with the share done, in percent.
using ProgressFn = std::function<void(float percent)>;

Outcome sendFirmware(PageLink& link, const std::vector<uint8_t>& payload, uint8_t version,
                     const ProgressFn& progress);

}  // namespace firmware
