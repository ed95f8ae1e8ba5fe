#include "maintenance/FirmwareTransfer.h"

#include <cstring>

#include "maintenance/FirmwarePackage.h"

namespace firmware {

Outcome sendFirmware(PageLink& link, const std::vector<uint8_t>& payload, uint8_t version,
                     const ProgressFn& progress) {
    Outcome outcome;
    long size = static_cast<long>(payload.size());
    if (size > kMaxPayload) {
        // A page past 0xFFC0 would wrap around to address 0 and overwrite the start.
        outcome.kind = Outcome::TooLarge;
        return outcome;
    }
    long pages = pageCount(size);
    if (pages == 0) {
        outcome.kind = Outcome::Empty;
        return outcome;
    }

    uint8_t page[kPageSize];
    for (long i = 0; i < pages; ++i) {
        size_t from = static_cast<size_t>(i) * kPageSize;
        size_t n = payload.size() - from < kPageSize ? payload.size() - from : kPageSize;
        memset(page, 0, sizeof page);
        memcpy(page, payload.data() + from, n);

        int r = link.writePage(static_cast<unsigned>(from), page);
        if (r != 0) {
            outcome.kind = Outcome::TransferFailed;
            outcome.code = r;
            return outcome;
        }
        if (memcmp(link.echo(), page, kPageSize) != 0) {
            outcome.kind = Outcome::VerifyFailed;
            return outcome;
        }
        outcome.pagesVerified = i + 1;
        if (progress) progress(static_cast<float>(i + 1) * 100.0f / static_cast<float>(pages));
    }
    link.sendVersion(version);
    outcome.kind = Outcome::Complete;
    return outcome;
}

}  // namespace firmware
