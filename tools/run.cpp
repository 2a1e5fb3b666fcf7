// vfft run: frames from a sample file through one core configuration, results
// to a sample file, block exponent and overflow per frame.
#include <cstdio>
#include <memory>
#include <optional>

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
    "  --settings FILE.json    length, direction and schedule of each frame, from\n"
    "                          the \"frames\" list of a vector set's manifest.json\n"
    "                          or a --summary (records may give \"nfft\",\n"
    "                          \"direction\" and \"scaling_sch\"; what one leaves out\n"
    "                          comes from the command line); the input must hold\n"
    "                          as many frames as the list\n"
    "  --quiet                 no frame lines, no progress line\n"
    "\n"
    "Sample files hold one sample per line: 're im' as values (float) or as\n"
    "two's-complement codes (int), or one hex word with the real code in the\n"
    "upper and the imaginary code in the lower half (hex). Blank lines may\n"
    "separate frames; without them, frames follow one another. Text after //\n"
    "and between /* and */ is a comment; in hex input a word @ADDRESS may give\n"
    "the position of the next sample, counted from 0 over the file, as in\n"
    "$readmemh files. Results are written frame after frame without blank\n"
    "lines, like the data files of a vector set. Input codes have the input\n"
    "width; output codes the width and binary point the library gives for the\n"
    "core's results (see 'vfft demo'). With --float, int and hex codes are IEEE\n"
    "single bit patterns. Without --summary or --quiet, the line 'frame N: P\n"
    "points, forward, blk_exp E, overflow O' is printed per frame on standard\n"
    "output, or on standard error when the results go there.\n"
    "\n";

}  // namespace

int runCommand(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::printf("%s%s", kRunHelp, kCoreOptionsHelp);
        return 0;
    }
    CoreOptions options;
    std::string inputPath = "-", outputPath = "-", summaryPath, settingsPath;
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
        } else if (auto v = reader.value("--settings")) {
            settingsPath = *v;
        } else if (reader.flag("--quiet")) {
            quiet = true;
        } else {
            reader.unknown();
        }
    }

    Core core(options);
    const CodeFormat inputCodes = core.inputCodes(), outputCodes = core.outputCodes();
    std::optional<FrameList> list;
    if (!settingsPath.empty()) list = readFrameList(settingsPath);
    FrameReader input(inputPath, inputFormat, inputCodes, false);
    OutputFile output(outputPath);
    std::unique_ptr<OutputFile> summaryFile;
    std::unique_ptr<FrameReport> summary;
    if (!summaryPath.empty()) {
        summaryFile = std::make_unique<OutputFile>(summaryPath);
        summary = std::make_unique<FrameReport>(*summaryFile, "vfft-run-summary", core, "");
    }
    std::FILE* report = quiet || summary ? nullptr : outputPath == "-" ? stderr : stdout;

    Progress progress("vfft run", list ? list->frames.size() : 0, quiet);
    uint64_t index = 0, firstSample = 0;
    Batcher batcher(core, [&](const FrameIn& frame, const FrameResult& result) {
        const FrameCodes codes = frameCodes(result.re, result.im, outputCodes, frame.context);
        std::string text;
        for (size_t k = 0; k < codes.re.size(); ++k) {
            if (outputFormat == SampleFormat::Float)
                text += formatFloatSample(result.re[k], result.im[k]);
            else if (outputFormat == SampleFormat::Int)
                text += formatIntSample(codes.re[k], codes.im[k]);
            else
                text += formatHexSample(codes.re[k], codes.im[k], outputCodes.width);
            text += '\n';
        }
        output.write(text);
        const FrameRecord record{index, &frame.settings, result.blkExp, result.overflow, firstSample};
        if (summary) summary->add(record);
        if (report) std::fprintf(report, "%s\n", frameLine(record).c_str());
        firstSample += codes.re.size();
        progress.update(++index);
    });
    for (uint64_t i = 0;; ++i) {
        FrameIn frame;
        if (list && i == list->frames.size()) {
            if (input.more())
                dataError(input.name() + ": more frames than the " + std::to_string(i) + " records of " +
                          list->name);
            break;
        }
        frame.settings = list ? core.settings(list->frames[i], list->where(i), kExitFailure) : core.defaults();
        Frame samples;
        if (!input.next(frame.settings.points(), samples)) {
            if (list)
                dataError(input.name() + ": " + std::to_string(i) + " frames, fewer than the " +
                          std::to_string(list->frames.size()) + " records of " + list->name);
            break;
        }
        frame.re = std::move(samples.re);
        frame.im = std::move(samples.im);
        frame.context = input.name() + ": frame " + std::to_string(i) + " (lines " +
                        std::to_string(samples.firstLine) + "-" + std::to_string(samples.lastLine) + ")";
        batcher.add(std::move(frame));
    }
    batcher.finish();
    output.finish();
    if (summary) {
        summary->finish();
        summaryFile->finish();
        summaryFile->commit();
    }
    output.commit();
    return 0;
}

}  // namespace vfft_cli
