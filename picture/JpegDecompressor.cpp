#include "picture/JpegDecompressor.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace vexil {

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back
// to the guarded call, which then throws: no C++ frame lies between the two, so nothing is
// skipped that needs destroying. Every guarded function keeps only plain locals.
namespace {

struct TJpegError {
    jpeg_error_mgr Manager; // first, so that libjpeg's pointer to it is one to the whole
    std::jmp_buf Jump;
    int Code;
};

} // namespace

struct TJpegDecompressor::TState {
    jpeg_decompress_struct Info{};
    TJpegError Error{};
    bool Created = false;
    bool CmykInput = false;
    // The colour map lives in libjpeg's image pool, which finishing the decode frees.
    std::vector<std::array<std::uint8_t, 3>> Colors;
};

namespace {

void ErrorExit(j_common_ptr info) {
    auto *error = reinterpret_cast<TJpegError *>(info->err);
    error->Code = info->err->msg_code;
    std::longjmp(error->Jump, 1);
}

void DropMessage(j_common_ptr, int) {}
void DropOutput(j_common_ptr) {}

// Adobe writes CMYK inverted; libjpeg hands it over as it is.
void CmykRowToBgrx(std::uint8_t *row, int width) {
    for (int x = 0; x < width; ++x) {
        std::uint8_t *p = row + 4 * x;
        const unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        p[0] = std::uint8_t(y * k / 255);
        p[1] = std::uint8_t(m * k / 255);
        p[2] = std::uint8_t(c * k / 255);
        p[3] = 0xFF;
    }
}

} // namespace

#define VEXIL_JPEG_GUARD(state)                                                                    \
    if (setjmp((state).Error.Jump) != 0)                                                           \
    throw EJPEG((state).Error.Code)

EJPEG::EJPEG(int code)
    : Exception(FormatText("JPEG error #%d", {std::to_string(code)})), Code_(code) {}

TJpegDecompressor::TJpegDecompressor() : State(std::make_unique<TState>()) {
    TState &s = *State;
    s.Info.err = jpeg_std_error(&s.Error.Manager);
    s.Error.Manager.error_exit = ErrorExit;
    s.Error.Manager.emit_message = DropMessage;
    s.Error.Manager.output_message = DropOutput;
    VEXIL_JPEG_GUARD(s);
    jpeg_create_decompress(&s.Info);
    s.Created = true;
}

TJpegDecompressor::~TJpegDecompressor() {
    if (State->Created)
        jpeg_destroy_decompress(&State->Info);
}

void TJpegDecompressor::ReadHeader(std::string_view data) {
    TState &s = *State;
    VEXIL_JPEG_GUARD(s);
    jpeg_mem_src(&s.Info, reinterpret_cast<const unsigned char *>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&s.Info, TRUE);
    s.CmykInput = s.Info.jpeg_color_space == JCS_CMYK || s.Info.jpeg_color_space == JCS_YCCK;
}

int TJpegDecompressor::ImageWidth() const {
    return int(State->Info.image_width);
}
int TJpegDecompressor::ImageHeight() const {
    return int(State->Info.image_height);
}
bool TJpegDecompressor::Progressive() const {
    return jpeg_has_multiple_scans(&State->Info);
}

void TJpegDecompressor::Configure(const TJpegOutput &output) {
    TState &s = *State;
    jpeg_decompress_struct &info = s.Info;
    VEXIL_JPEG_GUARD(s);
    info.scale_num = 1;
    info.scale_denom = unsigned(output.ScaleDenominator);
    info.do_block_smoothing = output.Smoothing ? TRUE : FALSE;
    if (output.Grayscale)
        info.out_color_space = JCS_GRAYSCALE;
    else if (s.CmykInput)
        info.out_color_space = JCS_CMYK;
    else if (!output.Quantize)
        info.out_color_space = JCS_EXT_BGRX;
    if (output.Quantize || output.Grayscale) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
    }
    if (output.BestSpeed) {
        info.dct_method = JDCT_IFAST;
        info.dither_mode = JDITHER_ORDERED;
        info.two_pass_quantize = FALSE;
    }
    // CMYK cannot be quantized by libjpeg; such pictures come out in true colour.
    if (s.CmykInput && !output.Grayscale)
        info.quantize_colors = FALSE;
    jpeg_calc_output_dimensions(&info);
}

int TJpegDecompressor::OutputWidth() const {
    return int(State->Info.output_width);
}
int TJpegDecompressor::OutputHeight() const {
    return int(State->Info.output_height);
}

int TJpegDecompressor::OutputBytesPerPixel() const {
    return State->Info.quantize_colors || State->Info.out_color_space == JCS_GRAYSCALE ? 1 : 4;
}

namespace {

void ReadRows(jpeg_decompress_struct &info, std::uint8_t *const *rows, bool cmyk) {
    while (info.output_scanline < info.output_height) {
        std::uint8_t *row = rows[info.output_scanline];
        JSAMPROW samples[1] = {row};
        if (jpeg_read_scanlines(&info, samples, 1) != 1)
            break; // the data ended: libjpeg has filled the rest with grey
        if (cmyk)
            CmykRowToBgrx(row, int(info.output_width));
    }
}

} // namespace

void TJpegDecompressor::Decode(std::uint8_t *const *rows, bool progressiveDisplay,
                               void (*onScan)(void *), void *context) {
    TState &s = *State;
    jpeg_decompress_struct &info = s.Info;
    VEXIL_JPEG_GUARD(s);
    const bool cmyk = info.out_color_space == JCS_CMYK;
    if (!progressiveDisplay || !jpeg_has_multiple_scans(&info)) {
        jpeg_start_decompress(&info);
        ReadRows(info, rows, cmyk);
        KeepColorMap();
        jpeg_finish_decompress(&info);
        return;
    }
    // Buffered-image mode: each scan is drawn with the fast settings as it arrives, the
    // final pass with the chosen ones (two-pass quantization included).
    const J_DCT_METHOD finalDct = info.dct_method;
    const J_DITHER_MODE finalDither = info.dither_mode;
    const boolean twoPass = info.two_pass_quantize;
    info.buffered_image = TRUE;
    if (info.quantize_colors) {
        info.enable_1pass_quant = TRUE;
        info.enable_2pass_quant = twoPass;
    }
    jpeg_start_decompress(&info);
    for (;;) {
        int status;
        do
            status = jpeg_consume_input(&info);
        while (status != JPEG_SUSPENDED && status != JPEG_REACHED_EOI &&
               status != JPEG_REACHED_SOS);
        const bool last = jpeg_input_complete(&info);
        info.dct_method = last ? finalDct : JDCT_IFAST;
        info.dither_mode = last ? finalDither : JDITHER_ORDERED;
        info.two_pass_quantize = last ? twoPass : FALSE;
        jpeg_start_output(&info, info.input_scan_number);
        ReadRows(info, rows, cmyk);
        jpeg_finish_output(&info);
        if (onScan != nullptr)
            onScan(context);
        if (last || status == JPEG_SUSPENDED)
            break;
    }
    KeepColorMap();
    jpeg_finish_decompress(&info);
}

void TJpegDecompressor::KeepColorMap() {
    TState &s = *State;
    const jpeg_decompress_struct &info = s.Info;
    s.Colors.clear();
    if (!info.quantize_colors || info.colormap == nullptr)
        return;
    const bool grey = info.out_color_components == 1;
    for (int i = 0; i < info.actual_number_of_colors; ++i)
        s.Colors.push_back(
            {info.colormap[0][i], info.colormap[grey ? 0 : 1][i], info.colormap[grey ? 0 : 2][i]});
}

int TJpegDecompressor::ColorCount() const {
    return int(State->Colors.size());
}

void TJpegDecompressor::Color(int index, std::uint8_t &red, std::uint8_t &green,
                              std::uint8_t &blue) const {
    const auto &c = State->Colors.at(std::size_t(index));
    red = c[0];
    green = c[1];
    blue = c[2];
}

} // namespace vexil
