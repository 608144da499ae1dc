#include "wic_image.h"

#include "lumabatch/jpeg/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <wrl/client.h>
// clang-format off
#include <windows.h> // before the other Windows headers, which need its definitions
#include <wincodec.h>
// clang-format on

using Microsoft::WRL::ComPtr;

namespace pxw::lumabatch::wic {

namespace {

constexpr int Unlimited = 1 << 30;

ComPtr<IWICImagingFactory> factory() {
    ComPtr<IWICImagingFactory> made;
    CoCreateInstance(
        CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(made.GetAddressOf()));
    return made;
}

std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// The EXIF orientation (1 to 8) of a JPEG's APP1 or a TIFF's first directory; 0 when WIC
// gives none.
int orientationOf(IWICBitmapFrameDecode& frame) {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(frame.GetMetadataQueryReader(query.GetAddressOf())))
        return 0;
    for (const wchar_t* name : { L"/app1/ifd/{ushort=274}", L"/ifd/{ushort=274}" }) {
        PROPVARIANT value;
        PropVariantInit(&value);
        int orientation = 0;
        if (SUCCEEDED(query->GetMetadataByName(name, &value)) && value.vt == VT_UI2)
            orientation = value.uiVal;
        PropVariantClear(&value);
        if (orientation >= 1 && orientation <= 8)
            return orientation;
    }
    return 0;
}

// The orientation from a JPEG's EXIF block (APP1), read here where WIC has no metadata reader
// for it (Wine's has none); 1 when none. Every offset is checked against the data.
int jpegExifOrientation(std::string_view data) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    if (data.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return 1;
    std::size_t at = 2;
    while (at + 4 <= data.size() && byte(at) == 0xFF) {
        const unsigned marker = byte(at + 1);
        const std::size_t length = (std::size_t { byte(at + 2) } << 8) | byte(at + 3);
        if (marker == 0xDA || length < 2 || at + 2 + length > data.size())
            return 1;
        const std::string_view segment = data.substr(at + 4, length - 2);
        at += 2 + length;
        if (marker != 0xE1 || !segment.starts_with(std::string_view("Exif\0\0", 6)))
            continue;
        const std::string_view tiff = segment.substr(6);
        if (tiff.size() < 8 || (tiff[0] != 'I' && tiff[0] != 'M') || tiff[0] != tiff[1])
            return 1;
        const bool big = tiff[0] == 'M';
        auto read = [&](std::size_t offset, int bytes) -> std::uint32_t {
            std::uint32_t value = 0;
            for (int i = 0; i < bytes; ++i) {
                const auto part
                    = static_cast<unsigned char>(tiff[offset + (big ? i : bytes - 1 - i)]);
                value = (value << 8) | part;
            }
            return value;
        };
        const std::size_t directory = read(4, 4);
        if (directory + 2 > tiff.size())
            return 1;
        const std::size_t entries = read(directory, 2);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t entry = directory + 2 + i * 12;
            if (entry + 12 > tiff.size())
                return 1;
            if (read(entry, 2) == 0x0112 && read(entry + 2, 2) == 3) {
                const std::uint32_t orientation = read(entry + 8, 2);
                return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
            }
        }
        return 1;
    }
    return 1;
}

Decoded failure(Decoded::Kind kind, std::string reason) {
    Decoded decoded;
    decoded.kind = kind;
    decoded.reason = std::move(reason);
    return decoded;
}

// Brings the pixels to `width` x `height` with the Lanczos3 filter of the Linux JPEG reader:
// WIC's scalers differ (Wine's does not filter).
void resize(Image& image, int width, int height) {
    if (width == image.width && height == image.height)
        return;
    Pixels out = resizeLanczos3(Pixels { image.width, image.height, 3, std::move(image.bgr) },
        image.width, image.height, width, height);
    image.bgr = std::move(out.data);
    image.width = width;
    image.height = height;
}

} // namespace

ComScope::ComScope()
    : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
}

ComScope::~ComScope() {
    if (started_)
        CoUninitialize();
}

std::pair<int, int> outputSize(int width, int height, const ConvertSettings& settings) {
    const bool box = settings.width || settings.height;
    const double boxWidth = settings.width.value_or(Unlimited);
    const double boxHeight = settings.height.value_or(Unlimited);
    double across = width / boxWidth;
    double down = height / boxHeight;
    if (!(settings.width && settings.height && !settings.keepProportions))
        across = down = std::max(across, down);
    if (!box) {
        across = std::max(across, 1.0);
        down = std::max(down, 1.0);
    }
    return { std::max(1, static_cast<int>(std::floor(width / across + 0.5))),
        std::max(1, static_cast<int>(std::floor(height / down + 0.5))) };
}

Decoded decodeScaled(
    std::string_view encoded, const ConvertSettings& settings, std::uint64_t pixelBudget) {
    ComPtr<IWICImagingFactory> wic = factory();
    if (!wic)
        return failure(Decoded::Kind::Failed, "the Windows Imaging Component is missing");
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(wic->CreateStream(stream.GetAddressOf()))
        || FAILED(
            stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(encoded.data())),
                static_cast<DWORD>(encoded.size()))))
        return failure(Decoded::Kind::Failed, "cannot read the file");
    const HRESULT opened = wic->CreateDecoderFromStream(
        stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf());
    if (opened == WINCODEC_ERR_COMPONENTNOTFOUND)
        return failure(Decoded::Kind::Unsupported,
            "not supported on Windows: no image reader of Windows reads this kind of file");
    if (FAILED(opened) || FAILED(decoder->GetFrame(0, frame.GetAddressOf())))
        return failure(Decoded::Kind::Failed, "damaged image: cannot read its header");
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0)
        return failure(Decoded::Kind::Failed, "damaged image: no size");
    if (std::uint64_t { width } * height > pixelBudget)
        return failure(Decoded::Kind::Failed,
            "an image of " + std::to_string(width) + " x " + std::to_string(height)
                + " pixels, more than the tool reads");
    Decoded decoded;
    decoded.kind = Decoded::Kind::Image;
    Image& image = decoded.image;
    double dpiX = 0;
    double dpiY = 0;
    if (SUCCEEDED(frame->GetResolution(&dpiX, &dpiY))) {
        image.dpiX = static_cast<int>(std::lround(std::clamp(dpiX, 0.0, 65535.0)));
        image.dpiY = static_cast<int>(std::lround(std::clamp(dpiY, 0.0, 65535.0)));
    }
    int orientation = orientationOf(*frame.Get());
    if (orientation == 0)
        orientation = jpegExifOrientation(encoded);
    // Every reader of Windows converts to blue-green-red with alpha; the alpha is flattened
    // on white here, as the Linux readers do, a band of rows at a time.
    ComPtr<IWICFormatConverter> converter;
    HRESULT copied = FAILED(wic->CreateFormatConverter(converter.GetAddressOf()))
        ? E_FAIL
        : converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
            nullptr, 0, WICBitmapPaletteTypeCustom);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bgr.resize(std::size_t { width } * height * 3);
    constexpr UINT BandRows = 256;
    std::vector<std::uint8_t> band(std::size_t { width } * std::min(height, BandRows) * 4);
    std::uint8_t* to = image.bgr.data();
    for (UINT top = 0; SUCCEEDED(copied) && top < height; top += BandRows) {
        const UINT rows = std::min(BandRows, height - top);
        const WICRect rect { 0, static_cast<INT>(top), static_cast<INT>(width),
            static_cast<INT>(rows) };
        copied = converter->CopyPixels(&rect, width * 4, width * rows * 4, band.data());
        for (std::size_t from = 0; from < std::size_t { width } * rows * 4; from += 4, to += 3) {
            const unsigned alpha = band[from + 3];
            for (std::size_t channel = 0; channel < 3; ++channel)
                to[channel] = static_cast<std::uint8_t>(
                    (band[from + channel] * alpha + 255 * (255 - alpha) + 127) / 255);
        }
    }
    if (FAILED(copied))
        return failure(Decoded::Kind::Failed, "damaged image: " + hresultText(copied));
    if (orientation != 1) {
        Pixels turned = turnUpright(
            Pixels { image.width, image.height, 3, std::move(image.bgr) }, orientation);
        image.width = turned.width;
        image.height = turned.height;
        image.bgr = std::move(turned.data);
        if (orientation >= 5)
            std::swap(image.dpiX, image.dpiY);
    }
    const auto [outWidth, outHeight] = outputSize(image.width, image.height, settings);
    resize(image, outWidth, outHeight);
    return decoded;
}

std::string encodeJpeg(const Image& image, const ConvertSettings& settings, std::string* error) {
    ComPtr<IWICImagingFactory> wic = factory();
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> properties;
    HRESULT result = wic ? CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()) : E_FAIL;
    if (SUCCEEDED(result))
        result = wic->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.GetAddressOf());
    if (SUCCEEDED(result))
        result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        result = encoder->CreateNewFrame(frame.GetAddressOf(), properties.GetAddressOf());
    // The quality rule of the Linux tool: baseline at `quality`, without chroma subsampling
    // from 90 on. Windows before 8 has no subsampling option, and keeps its own.
    if (SUCCEEDED(result)) {
        PROPBAG2 option {};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = static_cast<float>(settings.quality) / 100.0F;
        result = properties->Write(1, &option, &value);
        option.pstrName = const_cast<LPOLESTR>(L"JpegYCrCbSubsampling");
        value.vt = VT_UI1;
        value.bVal
            = settings.quality >= 90 ? WICJpegYCrCbSubsampling444 : WICJpegYCrCbSubsampling420;
        properties->Write(1, &option, &value);
    }
    if (SUCCEEDED(result))
        result = frame->Initialize(properties.Get());
    if (SUCCEEDED(result))
        result = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height));
    const int dpiX = settings.dpiHorizontal.value_or(image.dpiX);
    const int dpiY = settings.dpiVertical.value_or(image.dpiY);
    if (SUCCEEDED(result) && dpiX > 0 && dpiY > 0)
        result = frame->SetResolution(dpiX, dpiY);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&format);
    if (SUCCEEDED(result) && format != GUID_WICPixelFormat24bppBGR)
        result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(result))
        result = frame->WritePixels(static_cast<UINT>(image.height),
            static_cast<UINT>(image.width * 3), static_cast<UINT>(image.bgr.size()),
            const_cast<BYTE*>(image.bgr.data()));
    if (SUCCEEDED(result))
        result = frame->Commit();
    if (SUCCEEDED(result))
        result = encoder->Commit();
    HGLOBAL memory = nullptr;
    if (SUCCEEDED(result))
        result = GetHGlobalFromStream(stream.Get(), &memory);
    STATSTG stat {};
    if (SUCCEEDED(result))
        result = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(result)) {
        *error = "the JPEG encoder of Windows failed: " + hresultText(result);
        return {};
    }
    std::string jpeg(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
    const void* bytes = GlobalLock(memory);
    std::memcpy(jpeg.data(), bytes, jpeg.size());
    GlobalUnlock(memory);
    return jpeg;
}

} // namespace pxw::lumabatch::wic
