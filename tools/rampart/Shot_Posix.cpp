// Natively the plug-in's editor composes off-screen: rampart makes the
// plug-in in-process, shows the editor as a host would, and saves what it
// composed.
#include "Shot.h"

#include "Cli.h"
#include "Error.h"
#include "Host.h"
#include "QZ_Main_Vst.h"
#include "QZ_Main_Vst_Editor.h"
#include "TempFile.h"
#include "Win.h"

#include <cairo.h>

#include <memory>

namespace rampart {

namespace {

const char* const kShotHelp =
    "Usage: rampart shot OUT.png [options]\n"
    "\n"
    "Saves the Velvet Rampart editor as a PNG, as a host would show it. The\n"
    "plug-in is made inside rampart (its code is linked in; no plug-in file is\n"
    "loaded) through its entry point with rampart's host callback, the editor is\n"
    "opened, the parameters are set through setParameter, and with --in the file\n"
    "runs through the plug-in first, so that the meter shows its level at the end.\n"
    "Native build only.\n"
    "\n"
    "Options:\n"
    "  --in FILE         audio to run through the plug-in before the picture (any\n"
    "                    file render reads)\n"
    "  --channel N       the channel of FILE the plug-in gets (default 1)\n";

const char* const kShotTail =
    "\nOUT is written under a new temporary name beside it (OUT.*.part) and renamed\n"
    "when complete; OUT - writes the PNG to standard output.\n";

// The plug-in's output goes nowhere: the picture is what is kept.
class Discard : public OutputSink {
public:
    void write(std::span<const InstanceOutput>, size_t) override {}
};

// The editor, open while this lives.
class OpenEditor {
public:
    explicit OpenEditor(Plugin& plugin) {
        auto* vst = static_cast<QZ_Main_Vst*>(plugin.effect().object);
        editor_ = vst->editorObject();
        if (!editor_) throw Error("the plug-in made no editor");
        surface_ = dynamic_cast<QZ_Win_Surface*>(editor_->window());
        if (!surface_) throw Error("the plug-in's editor does not compose into memory");
        if (!editor_->open(nullptr)) throw Error("the plug-in's editor did not open");
    }
    ~OpenEditor() { editor_->close(); }
    OpenEditor(const OpenEditor&) = delete;
    OpenEditor& operator=(const OpenEditor&) = delete;

    QZ_Win_Surface& window() { return *surface_; }

private:
    QZ_Main_Vst_Editor* editor_;
    QZ_Win_Surface* surface_;
};

cairo_status_t write_to_file(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

// The panel is opaque: its pixels go to cairo's premultiplied ARGB32 as they
// are, alpha 255.
void save_png(const QZ_Pic_Base<QZ_Pix_A32>& pic, std::FILE* file, const std::string& name) {
    if (pic.width <= 0 || pic.height <= 0 || !pic.pixels)
        throw Error("the plug-in's editor composed no picture");
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> image(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pic.width, pic.height),
        &cairo_surface_destroy);
    cairo_status_t status = cairo_surface_status(image.get());
    if (status != CAIRO_STATUS_SUCCESS)
        throw Error(std::string("cannot make the picture: ") + cairo_status_to_string(status));
    cairo_surface_flush(image.get());
    unsigned char* data = cairo_image_surface_get_data(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    for (int32_t y = 0; y < pic.height; ++y) {
        auto* to = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        const QZ_Pix_A32* from = pic.row(y);
        for (int32_t x = 0; x < pic.width; ++x)
            to[x] = 0xFF000000u | uint32_t(from[x].r) << 16 | uint32_t(from[x].g) << 8 | from[x].b;
    }
    cairo_surface_mark_dirty(image.get());
    status = cairo_surface_write_to_png_stream(image.get(), write_to_file, file);
    if (status != CAIRO_STATUS_SUCCESS)
        throw Error("cannot write " + name + ": " + cairo_status_to_string(status));
}

} // namespace

int shot_command(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool help = false;
    ShotOptions o = parse_shot(args, help);
    if (help) {
        std::fprintf(out, "%s%s%s", kShotHelp, kPluginOptionsHelp, kShotTail);
        return 0;
    }
    if (extension_of(o.out) != ".png" && o.out != "-")
        throw UsageError("cannot tell the picture's format from " + o.out + ": name it .png");
    std::unique_ptr<AudioReader> reader;
    if (!o.in.empty()) {
        reader = open_audio_reader(o.in);
        // Whatever names lead there, the picture never replaces the audio.
        auto id = reader->identity();
        auto out_id = o.out == "-" ? identity_of(binary_stdout()) : identity_of(o.out);
        if (id && out_id && *id == *out_id)
            throw UsageError("shot: --in and OUT are the same file");
        check_channel(o.channel, reader->channels(), o.in);
        o.settings.channel = o.channel ? o.channel - 1 : 0;
    }

    Plugin plugin(&VSTPluginMain, "the built-in Velvet Rampart");
    RenderStats stats;
    int32_t width = 0, height = 0;
    TempFile temp(o.out);
    {
        plugin.open();
        OpenEditor editor(plugin);
        if (reader) {
            Discard discard;
            stats = render(plugin, *reader, discard, o.settings);
        } else {
            for (const auto& [index, x] : find_parameters(plugin, o.settings.parameters))
                plugin.set_parameter(index, x);
        }
        // Parameters and audio only publish; the editor's refresh (a host's
        // window runs it every few milliseconds) brings the panel up to date.
        editor.window().refresh();
        width = editor.window().surface.width;
        height = editor.window().surface.height;
        save_png(editor.window().surface, temp.file(), output_name(o.out));
    }
    plugin.close();
    temp.commit();

    // Standard output carries the picture: the report goes with the messages.
    if (o.out == "-") out = err;
    std::fprintf(out, "saved the editor (%d x %d) to %s", static_cast<int>(width),
                 static_cast<int>(height), output_name(o.out).c_str());
    if (reader)
        std::fprintf(out, " after %lld frames of %s (channel %d) in %lld blocks of up to %d",
                     static_cast<long long>(stats.frames), reader->name().c_str(),
                     o.settings.channel + 1, static_cast<long long>(stats.blocks),
                     o.settings.block);
    std::fputs("\n", out);
    return 0;
}

} // namespace rampart
