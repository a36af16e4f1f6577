// The Kitty graphics protocol's front: commands gathered from their chunks, dispatched and
// answered. The store is in TerminalKittyStore.cpp, placements in TerminalKittyPlacement.cpp,
// deletion in TerminalKittyDelete.cpp, and keeping up with the screen in
// TerminalKittyMaintenance.cpp.
#include "terminal/engine/KittyImages.hpp"

#include "terminal/engine/Terminal.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"

namespace corvix {

void KittyImages::handleKittyGraphics(std::span<const uint8_t> data)
{
    terminal_.endJoinableText();
    const auto [control, payload] = parseKittyGraphicsControl(data);
    std::optional<KittyGraphicsPending>& pending = state_.pending;
    // Any delete abandons an unfinished transfer.
    if (control.action == 'd' || control.action == 'D') pending.reset();
    if (control.more == 1) {
        if (!pending) pending = KittyGraphicsPending{control, {}, 0, false};
        pending->append(payload, kittyTransferLimit());
        return;
    }
    if (!pending) {
        processKittyGraphics(control, payload);
        return;
    }
    // The last chunk: the first chunk's keys govern the command.
    KittyGraphicsPending transfer = std::move(*pending);
    pending.reset();
    transfer.append(payload, kittyTransferLimit());
    if (transfer.oversized) {
        sendKittyError(transfer.control, "EINVAL: bad payload");
        return;
    }
    processKittyTransfer(std::move(transfer));
}

size_t KittyImages::kittyTransferLimit() const
{
    // Text held between chunks is image data the terminal keeps: it counts against the same
    // budget as the stored images, so a transfer that never ends cannot hold more.
    return size_t(std::clamp<int64_t>(terminal_.options.kittyImageCacheLimitBytes, 0, kMaxKittyCacheLimitBytes));
}

void KittyImages::processKittyGraphics(const KittyGraphicsControl& control, std::span<const uint8_t> base64Payload)
{
    switch (control.action) {
    case 'q':
        if (!KittyPayloadLoader().decodeKittyPayload(control, base64Payload)) {
            sendKittyError(control, "EINVAL: bad payload");
            return;
        }
        sendKittyOk(control, control.imageId, control.imageNumber, control.placementId);
        return;
    case 't':
    case 'T':
        handleKittyTransmit(control, control.action == 'T',
                            [&] { return KittyPayloadLoader().loadKittyPayload(control, base64Payload); });
        return;
    case 'p': handleKittyPut(control); return;
    case 'd':
    case 'D': handleKittyDelete(control); return;
    default: sendKittyError(control, "EINVAL: unsupported action"); return;
    }
}

void KittyImages::processKittyTransfer(KittyGraphicsPending transfer)
{
    const KittyGraphicsControl& control = transfer.control;
    // Only inline data is sent in chunks ("m" counts for nothing else).
    const auto load = [&]() -> std::optional<KittyGraphicsPayload> {
        auto data = transfer.takeDecoded();
        if (!data) return std::nullopt;
        return KittyPayloadLoader().decodeKittyPayloadBytes(control, std::move(*data));
    };
    switch (control.action) {
    case 'q':
        if (!load()) {
            sendKittyError(control, "EINVAL: bad payload");
            return;
        }
        sendKittyOk(control, control.imageId, control.imageNumber, control.placementId);
        return;
    case 't':
    case 'T':
        handleKittyTransmit(control, control.action == 'T', [&] { return KittyPayloadResult{load(), {}}; });
        return;
    default: processKittyGraphics(control, {}); return;
    }
}

void KittyImages::sendKittyOk(const KittyGraphicsControl& control, std::optional<uint32_t> imageId,
                           std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId)
{
    if (control.suppressResponses != 0) return;
    std::string reply(terminal_.replyApc());
    reply += 'G';
    const char* separator = "";
    for (const auto& [key, value] : {std::pair{"i=", imageId}, {"I=", imageNumber}, {"p=", placementId}}) {
        if (!value) continue;
        reply += separator;
        reply += key;
        reply += std::to_string(*value);
        separator = ",";
    }
    reply += ";OK";
    reply += terminal_.replySt();
    terminal_.sendResponse(reply);
}

void KittyImages::sendKittyError(const KittyGraphicsControl& control, std::string_view message)
{
    if (control.suppressResponses != 0) return;
    std::string reply(terminal_.replyApc());
    reply += 'G';
    if (control.imageId) {
        reply += "i=" + std::to_string(*control.imageId);
    } else if (control.imageNumber) {
        reply += "I=" + std::to_string(*control.imageNumber);
    }
    reply += ';';
    reply += message;
    reply += terminal_.replySt();
    terminal_.sendResponse(reply);
}

} // namespace corvix
