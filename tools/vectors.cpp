// vfft vectors DIR: a golden-vector set for an HDL test bench. Stimulus
// frames (generated or read), the expected results as codes, and a JSON
// manifest of the configuration, widths, files and per-frame flags.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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
    "  manifest.json           generics, widths and binary points of the codes,\n"
    "                          file names, and per frame nfft, points, direction,\n"
    "                          scaling_sch, blk_exp, overflow and first_sample\n"
    "  input.hex, output.hex   one sample per line, (re << W) | im in 2W bits, as\n"
    "                          ceil(2W/4) lower-case hex digits ($readmemh)\n"
    "  input.dec, output.dec   the same samples as 're im' signed decimal codes\n"
    "\n"
    "  --frames F              number of generated frames (default 3)\n"
    "  --stimulus LIST         comma list of random, tones, impulse, cycled over\n"
    "                          the frames (default random,tones,impulse)\n"
    "  --seed S                seed of the random frames (default 1)\n"
    "  --input FILE            stimulus frames from a sample file instead (see\n"
    "                          vfft run --help for the formats)\n"
    "  --input-format F        float | int | hex (default float); float values\n"
    "                          must lie on the input grid (exact singles with --float)\n"
    "  --settings FILE.json    length, direction and schedule of each frame, from\n"
    "                          the \"frames\" list of a manifest.json or a run\n"
    "                          summary, so that a set's manifest gives the same\n"
    "                          frames again; one frame per record\n"
    "  --force                 write a set of more than 1 GiB\n"
    "  --quiet                 no progress line and no closing line\n"
    "\n"
    "The frames stream to the files; a set whose files would exceed 1 GiB\n"
    "together is refused unless --force is given.\n"
    "\n";

constexpr uint64_t kSizeLimit = uint64_t(1) << 30;

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
Signal generate(Kind kind, uint64_t frame, int points, int gridBits, Random& random) {
    const int f = int(frame % uint64_t(points));
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

// The set's directory, created when missing, and removed again when the
// command fails before its files appear.
class SetDirectory {
public:
    explicit SetDirectory(const std::string& path) : path_(path) {
        if (mkdir(path.c_str(), 0777) == 0) {
            created_ = true;
            return;
        }
        const int err = errno;
        struct stat st;
        if (err == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
        dataError("cannot create the directory '" + path + "': " + std::strerror(err));
    }
    ~SetDirectory() {
        if (created_ && !kept_) rmdir(path_.c_str());
    }
    SetDirectory(const SetDirectory&) = delete;
    SetDirectory& operator=(const SetDirectory&) = delete;
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool created_ = false, kept_ = false;
};

// Largest text of one sample in each of the four data files.
uint64_t sampleBytes(const CodeFormat& in, const CodeFormat& out) {
    const auto dec = [](int width) { return 2 * (std::to_string(-(int64_t(1) << (width - 1))).size() + 1); };
    return uint64_t((2 * in.width + 3) / 4 + 1 + (2 * out.width + 3) / 4 + 1 + dec(in.width) + dec(out.width));
}

// Largest manifest record of a frame.
uint64_t recordBytes(const FrameSettings& s) { return 200 + 4 * s.schedule.size(); }

}  // namespace

int vectorsCommand(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::printf("%s%s", kVectorsHelp, kCoreOptionsHelp);
        return 0;
    }
    CoreOptions options;
    std::string dir, inputPath, settingsPath;
    SampleFormat inputFormat = SampleFormat::Float;
    std::vector<Kind> kinds = {Kind::Random, Kind::Tones, Kind::Impulse};
    std::optional<int32_t> frameCount;
    int32_t seed = 1;
    bool generated = false, quiet = false, force = false;
    ArgReader reader("vectors", args);
    while (!reader.done()) {
        if (parseCoreOption(reader, options)) continue;
        if (auto v = reader.value("--frames")) {
            frameCount = parseInt32(*v, "--frames");
            if (*frameCount < 1) usageError("--frames: " + *v + " frames; expected 1 or more");
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
        } else if (auto v = reader.value("--settings")) {
            settingsPath = *v;
        } else if (reader.flag("--force")) {
            force = true;
        } else if (reader.flag("--quiet")) {
            quiet = true;
        } else if (dir.empty() && reader.peek().compare(0, 1, "-") != 0) {
            dir = reader.take();
        } else {
            reader.unknown();
        }
    }
    if (dir.empty()) usageError("vectors: expected the output directory, as in 'vfft vectors DIR'");
    if ((generated || frameCount) && !inputPath.empty())
        usageError("vectors: --input gives the stimulus; --frames, --stimulus and --seed apply to generated frames");
    if (frameCount && !settingsPath.empty())
        usageError("vectors: --settings gives one frame per record; --frames applies without it");

    Core core(options);
    const CodeFormat inputCodes = core.inputCodes(), outputCodes = core.outputCodes();
    std::vector<FrameSettings> settings;  // of every frame, when known before the stimulus
    if (!settingsPath.empty()) {
        const FrameList list = readFrameList(settingsPath);
        for (size_t i = 0; i < list.frames.size(); ++i)
            settings.push_back(core.settings(list.frames[i], list.where(i), kExitFailure));
    }
    std::unique_ptr<FrameReader> input;
    if (!inputPath.empty()) input = std::make_unique<FrameReader>(inputPath, inputFormat, inputCodes, true);
    // Frames to come: 0 for as many as the input holds.
    const uint64_t frames = !settings.empty() ? settings.size() : input ? 0 : uint64_t(frameCount.value_or(3));
    if (frames && !force) {
        const uint64_t perSample = sampleBytes(inputCodes, outputCodes);
        uint64_t bytes = 0;
        for (uint64_t f = 0; f < frames && bytes <= kSizeLimit; ++f) {
            const FrameSettings& s = settings.empty() ? core.defaults() : settings[f];
            bytes += uint64_t(s.points()) * perSample + recordBytes(s);
        }
        if (bytes > kSizeLimit)
            dataError("vectors: " + std::to_string(frames) +
                      " frames would make a set of more than 1 GiB; ask for fewer frames, or give --force");
    }

    SetDirectory directory(dir);
    OutputFile inputHex(dir + "/input.hex"), outputHex(dir + "/output.hex"), inputDec(dir + "/input.dec"),
        outputDec(dir + "/output.dec"), manifestFile(dir + "/manifest.json");
    FrameReport manifest(manifestFile, "vfft-vectors", core,
                         ", \"input_word_width\": " + std::to_string(2 * inputCodes.width) +
                             ", \"output_word_width\": " + std::to_string(2 * outputCodes.width) +
                             ",\n \"files\": {\"input_hex\": \"input.hex\", \"output_hex\": \"output.hex\", "
                             "\"input_dec\": \"input.dec\", \"output_dec\": \"output.dec\"}");

    Progress progress("vfft vectors", frames, quiet);
    uint64_t index = 0, firstSample = 0, bytes = 0;
    int fewest = 0, most = 0;
    Batcher batcher(core, [&](const FrameIn& frame, const FrameResult& result) {
        const FrameCodes in = frameCodes(frame.re, frame.im, inputCodes, "stimulus " + frame.context);
        const FrameCodes out = frameCodes(result.re, result.im, outputCodes, frame.context);
        std::string ih, oh, id, od;
        for (size_t k = 0; k < in.re.size(); ++k) {
            ih += formatHexSample(in.re[k], in.im[k], inputCodes.width) + "\n";
            id += formatIntSample(in.re[k], in.im[k]) + "\n";
            oh += formatHexSample(out.re[k], out.im[k], outputCodes.width) + "\n";
            od += formatIntSample(out.re[k], out.im[k]) + "\n";
        }
        inputHex.write(ih);
        inputDec.write(id);
        outputHex.write(oh);
        outputDec.write(od);
        manifest.add({index, &frame.settings, result.blkExp, result.overflow, firstSample});
        const int points = frame.settings.points();
        fewest = index ? std::min(fewest, points) : points;
        most = std::max(most, points);
        firstSample += uint64_t(points);
        bytes += ih.size() + id.size() + oh.size() + od.size() + recordBytes(frame.settings);
        if (bytes > kSizeLimit && !force)
            dataError("vectors: the set grows beyond 1 GiB at frame " + std::to_string(index) +
                      "; give --force to write it");
        progress.update(++index);
    });
    // Single-precision stimulus keeps 24 significant bits below 1.
    const int gridBits = inputCodes.single ? 23 : inputCodes.fractionBits;
    Random random{static_cast<uint64_t>(static_cast<uint32_t>(seed))};
    for (uint64_t f = 0; input || f < frames; ++f) {
        FrameIn frame;
        frame.context = "frame " + std::to_string(f);
        if (!settings.empty() && f == settings.size()) {
            if (input->more())
                dataError(input->name() + ": more frames than the " + std::to_string(f) + " records of " +
                          settingsPath);
            break;
        }
        frame.settings = settings.empty() ? core.defaults() : settings[f];
        if (input) {
            Frame samples;
            if (!input->next(frame.settings.points(), samples)) {
                if (!settings.empty())
                    dataError(input->name() + ": " + std::to_string(f) + " frames, fewer than the " +
                              std::to_string(settings.size()) + " records of " + settingsPath);
                break;
            }
            frame.re = std::move(samples.re);
            frame.im = std::move(samples.im);
        } else {
            Signal s = generate(kinds[f % kinds.size()], f, frame.settings.points(),
                                gridBits, random);
            frame.re = std::move(s.re);
            frame.im = std::move(s.im);
        }
        batcher.add(std::move(frame));
    }
    batcher.finish();
    manifest.finish();
    OutputFile* const files[] = {&inputHex, &outputHex, &inputDec, &outputDec, &manifestFile};
    for (OutputFile* file : files) file->finish();
    for (OutputFile* file : files) file->commit();
    directory.keep();
    if (!quiet)
        std::printf("%s: %llu frame%s of %d%s points, input %d bits, output %d bits\n", dir.c_str(),
                    (unsigned long long)index, index == 1 ? "" : "s", fewest,
                    fewest == most ? "" : (" to " + std::to_string(most)).c_str(), inputCodes.width,
                    outputCodes.width);
    return 0;
}

}  // namespace vfft_cli
