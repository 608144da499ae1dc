#include "wic_images.h"

// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <wincodec.h>
// clang-format on

namespace pxw::zip {

namespace {

// Releases a COM object when it goes.
template <typename T> class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (object_)
            object_->Release();
    }
    T** put() { return &object_; }
    T* operator->() const { return object_; }
    T* get() const { return object_; }

private:
    T* object_ = nullptr;
};

std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

} // namespace

Picture decodeWithWic(
    std::string_view bytes, bool alpha, std::string* error, std::uint64_t maxPixels) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return Picture {};
    };
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    HRESULT result = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
        IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
    if (FAILED(result))
        return fail("Windows' image codecs cannot be started (" + hresultText(result) + ")");
    if (bytes.size() > 0xFFFFFFFFu)
        return fail("the image is too large");
    // WIC reads from the buffer as it is; it writes nothing to it.
    auto* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    result = factory->CreateStream(stream.put());
    if (SUCCEEDED(result))
        result = stream->InitializeFromMemory(data, static_cast<DWORD>(bytes.size()));
    if (SUCCEEDED(result))
        result = factory->CreateDecoderFromStream(
            stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put());
    if (SUCCEEDED(result))
        result = decoder->GetFrame(0, frame.put());
    if (FAILED(result))
        return fail("the data is damaged or of an unknown kind (" + hresultText(result) + ")");
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    if (width == 0 || height == 0 || std::uint64_t { width } * height > maxPixels)
        return fail("it is " + std::to_string(width) + "x" + std::to_string(height) + " pixels");

    // WIC's byte order is blue, green, red; the picture's is red, green, blue.
    const WICPixelFormatGUID format
        = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    const int channels = alpha ? 4 : 3;
    result = factory->CreateFormatConverter(converter.put());
    if (SUCCEEDED(result))
        result = converter->Initialize(
            frame.get(), format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    Picture picture { static_cast<int>(width), static_cast<int>(height), channels, {} };
    const std::uint64_t stride = std::uint64_t { width } * channels;
    if (stride * height > 0xFFFFFFFFu)
        return fail("the image is too large");
    picture.pixels.resize(static_cast<std::size_t>(stride * height));
    if (SUCCEEDED(result))
        result = converter->CopyPixels(nullptr, static_cast<UINT>(stride),
            static_cast<UINT>(picture.pixels.size()), picture.pixels.data());
    if (FAILED(result))
        return fail("the data is damaged (" + hresultText(result) + ")");
    for (std::size_t at = 0; at + 2 < picture.pixels.size(); at += channels)
        std::swap(picture.pixels[at], picture.pixels[at + 2]);
    return picture;
}

} // namespace pxw::zip
