#include "wic_image.h"

#include "lumabatch/jpeg/resample.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <wincodec.h>
#include <wrl/client.h>

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

// The EXIF orientation (1 to 8) of a JPEG's APP1 or a TIFF's first directory; 1 when none.
int orientationOf(IWICBitmapFrameDecode& frame) {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(frame.GetMetadataQueryReader(query.GetAddressOf())))
        return 1;
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
    return 1;
}

Decoded failure(Decoded::Kind kind, std::string reason) {
    Decoded decoded;
    decoded.kind = kind;
    decoded.reason = std::move(reason);
    return decoded;
}

// Brings the pixels to `width` x `height`: shrinking with the Lanczos3 filter the Linux JPEG
// reader uses, enlarging (on either side) with WIC's Fant scaler.
bool resize(Image& image, int width, int height) {
    if (width == image.width && height == image.height)
        return true;
    if (width <= image.width && height <= image.height) {
        Pixels in { image.width, image.height, 3, std::move(image.bgr) };
        Pixels out = shrinkLanczos3(in, in.width, in.height, width, height);
        image.bgr = std::move(out.data);
        image.width = width;
        image.height = height;
        return true;
    }
    ComPtr<IWICImagingFactory> wic = factory();
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICBitmapScaler> scaler;
    std::vector<std::uint8_t> scaled(static_cast<std::size_t>(width) * height * 3);
    if (!wic
        || FAILED(wic->CreateBitmapFromMemory(static_cast<UINT>(image.width),
            static_cast<UINT>(image.height), GUID_WICPixelFormat24bppBGR,
            static_cast<UINT>(image.width * 3), static_cast<UINT>(image.bgr.size()),
            image.bgr.data(), bitmap.GetAddressOf()))
        || FAILED(wic->CreateBitmapScaler(scaler.GetAddressOf()))
        || FAILED(scaler->Initialize(bitmap.Get(), static_cast<UINT>(width),
            static_cast<UINT>(height), WICBitmapInterpolationModeFant))
        || FAILED(scaler->CopyPixels(nullptr, static_cast<UINT>(width * 3),
            static_cast<UINT>(scaled.size()), scaled.data())))
        return false;
    image.bgr = std::move(scaled);
    image.width = width;
    image.height = height;
    return true;
}

} // namespace

ComScope::ComScope()
    : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) { }

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
        || FAILED(stream->InitializeFromMemory(
            reinterpret_cast<BYTE*>(const_cast<char*>(encoded.data())),
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
    const int orientation = orientationOf(*frame.Get());
    ComPtr<IWICFormatConverter> converter;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bgr.resize(std::size_t { width } * height * 3);
    const HRESULT copied = FAILED(wic->CreateFormatConverter(converter.GetAddressOf()))
        ? E_FAIL
        : FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR,
              WICBitmapDitherTypeNone, nullptr, 0, WICBitmapPaletteTypeCustom))
        ? E_FAIL
        : converter->CopyPixels(
              nullptr, width * 3, static_cast<UINT>(image.bgr.size()), image.bgr.data());
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
    if (!resize(image, outWidth, outHeight))
        return failure(Decoded::Kind::Failed, "cannot scale the image");
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
    if (SUCCEEDED(result)) {
        PROPBAG2 option {};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT quality;
        VariantInit(&quality);
        quality.vt = VT_R4;
        quality.fltVal = static_cast<float>(settings.quality) / 100.0F;
        result = properties->Write(1, &option, &quality);
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
