// vfft run: frames from a sample file through one core configuration, results
// to a sample file, block exponent and overflow per frame.
#include <cstdio>
#include <memory>

#include "commands.h"
#include "core.h"
#include "output.h"
#include "report.h"
#include "samples.h"

namespace vfft_cli {

namespace {

const char* const kRunHelp =
    "usage: vfft run [options] [core options]\n"
    "\n"
    "Transforms every frame of the input with one core configuration.\n"
    "\n"
    "  --input FILE            samples to transform (default '-', standard input)\n"
    "  --input-format F        float | int | hex (default float)\n"
    "  --output FILE           results (default '-', standard output)\n"
    "  --output-format F       float | int | hex (default float)\n"
    "  --summary FILE.json     block exponent and overflow of every frame as JSON\n"
    "  --quiet                 no progress line\n"
    "\n"
    "Sample files hold one sample per line: 're im' as values (float) or as\n"
    "two's-complement codes (int), or one hex word with the real code in the\n"
    "upper and the imaginary code in the lower half (hex). A blank line ends a\n"
    "frame; a block of k x 2^nfft lines is k frames. Input codes have the input\n"
    "width; output codes the input width (scaled and block floating point) or\n"
    "input width + C_NFFT_MAX + 1 (unscaled), at the input's step 2^-(width-1).\n"
    "With --float, int and hex codes are IEEE single bit patterns. Without\n"
    "--summary, the line 'frame N: P points, forward, blk_exp E, overflow O' is\n"
    "printed per frame on standard output, or on standard error when the results\n"
    "go there.\n"
    "\n";

}  // namespace

int runCommand(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::printf("%s%s", kRunHelp, kCoreOptionsHelp);
        return 0;
    }
    CoreOptions options;
    std::string inputPath = "-", outputPath = "-", summaryPath;
    SampleFormat inputFormat = SampleFormat::Float, outputFormat = SampleFormat::Float;
    bool quiet = false;
    ArgReader reader("run", args);
    while (!reader.done()) {
        if (parseCoreOption(reader, options)) continue;
        if (auto v = reader.value("--input")) {
            inputPath = *v;
        } else if (auto v = reader.value("--input-format")) {
            inputFormat = parseSampleFormat("--input-format", *v);
        } else if (auto v = reader.value("--output")) {
            outputPath = *v;
        } else if (auto v = reader.value("--output-format")) {
            outputFormat = parseSampleFormat("--output-format", *v);
        } else if (auto v = reader.value("--summary")) {
            summaryPath = *v;
        } else if (reader.flag("--quiet")) {
            quiet = true;
        } else {
            reader.unknown();
        }
    }

    Core core(options);
    const Widths widths = core.widths();
    const CodeFormat inputCodes{widths.single, widths.input, widths.input - 1};
    const CodeFormat outputCodes{widths.single, widths.output, widths.input - 1};
    const FrameSource source = readFrames(inputPath, inputFormat, inputCodes, core.points(), false);

    AtomicFile output(outputPath);
    std::unique_ptr<AtomicFile> summary;
    if (!summaryPath.empty()) summary = std::make_unique<AtomicFile>(summaryPath);
    std::vector<FrameRecord> records;
    {
        Progress progress("vfft run", source.frames.size(), quiet);
        for (size_t i = 0; i < source.frames.size(); ++i) {
            const Frame& frame = source.frames[i];
            const std::string context = source.name + ": frame " + std::to_string(i) + " (lines " +
                                        std::to_string(frame.lines.front()) + "-" +
                                        std::to_string(frame.lines.back()) + ")";
            const FrameResult result = core.transform(frame.re, frame.im, context);
            const FrameCodes codes = frameCodes(result.re, result.im, outputCodes, context);
            if (i > 0) output.line("");
            for (size_t k = 0; k < codes.re.size(); ++k) {
                if (outputFormat == SampleFormat::Float)
                    output.line(formatFloatSample(result.re[k], result.im[k]));
                else if (outputFormat == SampleFormat::Int)
                    output.line(formatIntSample(codes.re[k], codes.im[k]));
                else
                    output.line(formatHexSample(codes.re[k], codes.im[k], widths.output));
            }
            records.push_back({int(i), core.nfft(), core.direction(), core.schedule(), result.blkExp,
                               result.overflow, static_cast<long long>(i) * core.points()});
            progress.update(i + 1);
        }
    }
    output.finish();
    if (summary) {
        summary->write("{\"format\": \"vfft-run-summary\", \"version\": 1,\n \"generics\": " +
                       genericsJson(core.generics()) + ",\n \"float\": " + (widths.single ? "true" : "false") +
                       ", \"input_width\": " + std::to_string(widths.input) +
                       ", \"output_width\": " + std::to_string(widths.output) +
                       ", \"frame_count\": " + std::to_string(records.size()) +
                       ",\n \"frames\": " + framesJson(records, " ") + "}\n");
        summary->finish();
        summary->commit();
    }
    output.commit();
    if (summary) return 0;
    std::FILE* report = outputPath == "-" ? stderr : stdout;
    for (const FrameRecord& r : records) std::fprintf(report, "%s\n", frameLine(r).c_str());
    return 0;
}

}  // namespace vfft_cli
