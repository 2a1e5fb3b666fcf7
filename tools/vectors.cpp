// vfft vectors DIR: a golden-vector set for an HDL test bench. Stimulus
// frames (generated or read), the expected results as codes, and a JSON
// manifest of the configuration, widths, files and per-frame flags.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "commands.h"
#include "core.h"
#include "output.h"
#include "report.h"
#include "samples.h"
#include "stimulus.h"

namespace vfft_cli {

namespace {

const char* const kVectorsHelp =
    "usage: vfft vectors DIR [options] [core options]\n"
    "\n"
    "Writes a golden-vector set into DIR (created when missing):\n"
    "  manifest.json           generics, widths, file names, frame count and per\n"
    "                          frame nfft, direction, scaling_sch, blk_exp,\n"
    "                          overflow and first_sample\n"
    "  input.hex, output.hex   one sample per line, (re << W) | im in 2W bits, as\n"
    "                          ceil(2W/4) lower-case hex digits ($readmemh)\n"
    "  input.dec, output.dec   the same samples as 're im' signed decimal codes\n"
    "\n"
    "  --frames F              number of generated frames (default 3)\n"
    "  --stimulus LIST         comma list of random, tones, impulse, cycled over\n"
    "                          the frames (default random,tones,impulse)\n"
    "  --seed S                seed of the random frames (default 1)\n"
    "  --input FILE            stimulus frames from a sample file instead\n"
    "  --input-format F        float | int | hex (default float); float values\n"
    "                          must lie on the input grid (exact singles with --float)\n"
    "  --quiet                 no progress line\n"
    "\n";

enum class Kind { Random, Tones, Impulse };

std::vector<Kind> parseStimulus(const std::string& text) {
    std::vector<Kind> kinds;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item == "random")
            kinds.push_back(Kind::Random);
        else if (item == "tones")
            kinds.push_back(Kind::Tones);
        else if (item == "impulse")
            kinds.push_back(Kind::Impulse);
        else
            usageError("--stimulus: expected a comma list of random, tones and impulse, got '" + item + "'");
        if (comma == std::string::npos) return kinds;
        start = comma + 1;
    }
}

// Frame f of the generated stimulus: the tones and the impulse move from
// frame to frame so that no two frames of a set are alike.
Signal generate(Kind kind, int frame, int points, int gridBits, Random& random) {
    const int f = frame % points;
    switch (kind) {
        case Kind::Random:
            return noiseSignal(points, gridBits, random);
        case Kind::Tones:
            return toneSignal({{1 + f, 0.4, 0.1 * f}, {points / 4 + 3 * f, 0.25, 1.0}, {points - 5 - f, 0.1, 2.0}},
                              points, gridBits);
        case Kind::Impulse:
            break;
    }
    return impulseSignal(points, int(int64_t(f) * (points / 8 + 1) % points), 0.5, -0.25);
}

void makeDirectory(const std::string& dir) {
    struct stat st;
    if (mkdir(dir.c_str(), 0777) == 0) return;
    const int err = errno;
    if (err == EEXIST && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    dataError("cannot create the directory '" + dir + "': " + std::strerror(err));
}

}  // namespace

int vectorsCommand(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::printf("%s%s", kVectorsHelp, kCoreOptionsHelp);
        return 0;
    }
    CoreOptions options;
    std::string dir, inputPath;
    SampleFormat inputFormat = SampleFormat::Float;
    std::vector<Kind> kinds = {Kind::Random, Kind::Tones, Kind::Impulse};
    int32_t frameCount = 3;
    int32_t seed = 1;
    bool generated = false, quiet = false;
    ArgReader reader("vectors", args);
    while (!reader.done()) {
        if (parseCoreOption(reader, options)) continue;
        if (auto v = reader.value("--frames")) {
            frameCount = parseInt32(*v, "--frames");
            if (frameCount < 1) usageError("--frames: " + *v + " frames; expected 1 or more");
            generated = true;
        } else if (auto v = reader.value("--stimulus")) {
            kinds = parseStimulus(*v);
            generated = true;
        } else if (auto v = reader.value("--seed")) {
            seed = parseInt32(*v, "--seed");
            generated = true;
        } else if (auto v = reader.value("--input")) {
            inputPath = *v;
        } else if (auto v = reader.value("--input-format")) {
            inputFormat = parseSampleFormat("--input-format", *v);
        } else if (reader.flag("--quiet")) {
            quiet = true;
        } else if (dir.empty() && reader.peek().compare(0, 1, "-") != 0) {
            dir = reader.take();
        } else {
            reader.unknown();
        }
    }
    if (dir.empty()) usageError("vectors: expected the output directory, as in 'vfft vectors DIR'");
    if (generated && !inputPath.empty())
        usageError("vectors: --input gives the stimulus; --frames, --stimulus and --seed apply to generated frames");

    Core core(options);
    const Widths widths = core.widths();
    const CodeFormat inputCodes{widths.single, widths.input, widths.input - 1};
    const CodeFormat outputCodes{widths.single, widths.output, widths.input - 1};
    const int points = core.points();

    std::vector<Signal> stimulus;
    if (!inputPath.empty()) {
        for (Frame& f : readFrames(inputPath, inputFormat, inputCodes, points, true).frames)
            stimulus.push_back({std::move(f.re), std::move(f.im)});
    } else {
        // Single-precision stimulus keeps 24 significant bits below 1.
        const int gridBits = widths.single ? 23 : widths.input - 1;
        Random random{static_cast<uint64_t>(static_cast<uint32_t>(seed))};
        for (int f = 0; f < frameCount; ++f)
            stimulus.push_back(generate(kinds[size_t(f) % kinds.size()], f, points, gridBits, random));
    }

    std::string inputHex, outputHex, inputDec, outputDec;
    std::vector<FrameRecord> records;
    {
        Progress progress("vfft vectors", stimulus.size(), quiet);
        for (size_t i = 0; i < stimulus.size(); ++i) {
            const std::string frame = "frame " + std::to_string(i);
            const FrameCodes in = frameCodes(stimulus[i].re, stimulus[i].im, inputCodes, "stimulus " + frame);
            const FrameResult result = core.transform(stimulus[i].re, stimulus[i].im, frame);
            const FrameCodes out = frameCodes(result.re, result.im, outputCodes, frame);
            for (int k = 0; k < points; ++k) {
                inputHex += formatHexSample(in.re[k], in.im[k], widths.input) + "\n";
                inputDec += formatIntSample(in.re[k], in.im[k]) + "\n";
                outputHex += formatHexSample(out.re[k], out.im[k], widths.output) + "\n";
                outputDec += formatIntSample(out.re[k], out.im[k]) + "\n";
            }
            records.push_back({int(i), core.nfft(), core.direction(), core.schedule(), result.blkExp,
                               result.overflow, static_cast<long long>(i) * points});
            progress.update(i + 1);
        }
    }

    const std::string samples = std::to_string(records.size() * size_t(points));
    const std::string manifest =
        "{\"format\": \"vfft-vectors\", \"version\": 1,\n \"generics\": " + genericsJson(core.generics()) +
        ",\n \"float\": " + (widths.single ? "true" : "false") + ", \"input_width\": " +
        std::to_string(widths.input) + ", \"output_width\": " + std::to_string(widths.output) +
        ", \"input_word_width\": " + std::to_string(2 * widths.input) +
        ", \"output_word_width\": " + std::to_string(2 * widths.output) +
        ",\n \"frame_count\": " + std::to_string(records.size()) + ", \"sample_count_in\": " + samples +
        ", \"sample_count_out\": " + samples +
        ",\n \"files\": {\"input_hex\": \"input.hex\", \"output_hex\": \"output.hex\", "
        "\"input_dec\": \"input.dec\", \"output_dec\": \"output.dec\"},\n \"frames\": " +
        framesJson(records, " ") + "}\n";

    makeDirectory(dir);
    const std::pair<const char*, const std::string*> files[] = {{"input.hex", &inputHex},
                                                                {"output.hex", &outputHex},
                                                                {"input.dec", &inputDec},
                                                                {"output.dec", &outputDec},
                                                                {"manifest.json", &manifest}};
    std::vector<std::unique_ptr<AtomicFile>> written;
    for (const auto& [name, text] : files) {
        written.push_back(std::make_unique<AtomicFile>(dir + "/" + name));
        written.back()->write(*text);
        written.back()->finish();
    }
    for (auto& f : written) f->commit();
    std::printf("%s: %zu frames of %d points, input %d bits, output %d bits\n", dir.c_str(), records.size(), points,
                widths.input, widths.output);
    return 0;
}

}  // namespace vfft_cli
