#include "qtplugin/TextureImagePlugin.h"

#include "qtplugin/TextureImageHandler.h"

#include <memory>
#include <string_view>

namespace texelary {

namespace {

std::optional<PluginFormat> FormatOf(const QByteArray& name) {
    return PluginFormatNamed(
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
}

// The format of the device's content; none for a device that cannot be read or a classic .wal
// or .swl, which are known only by their names.
std::optional<PluginFormat> FormatOfDevice(QIODevice* device) {
    if (!device || !device->isReadable()) {
        return std::nullopt;
    }
    const QByteArray head = device->peek(static_cast<qint64>(LongestHeader()));
    return PluginFormatOfContent({reinterpret_cast<const std::uint8_t*>(head.constData()),
                                  static_cast<std::size_t>(head.size())});
}

} // namespace

QImageIOPlugin::Capabilities TextureImagePlugin::capabilities(QIODevice* device,
                                                              const QByteArray& format) const {
    if (!format.isEmpty()) {
        return FormatOf(format) ? Capabilities(CanRead) : Capabilities();
    }
    return FormatOfDevice(device) ? Capabilities(CanRead) : Capabilities();
}

QImageIOHandler* TextureImagePlugin::create(QIODevice* device, const QByteArray& format) const {
    auto kind = FormatOf(format);
    if (!kind) {
        kind = FormatOfDevice(device);
    }
    if (!kind) {
        return nullptr;
    }
    auto handler = std::make_unique<TextureImageHandler>(*kind);
    handler->setDevice(device);
    handler->setFormat(PluginFormatName(*kind));
    return handler.release(); // QImageReader owns its handler
}

} // namespace texelary
