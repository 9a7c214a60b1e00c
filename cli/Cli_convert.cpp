#include "cli/Cli_convert.h"

#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "core/Stream_convert.h"

#include <cstdio>

int ConvertOne(TIMAGE_INFO& doc, const CommandLine& cl, const std::string& in, const std::string& out,
               std::int32_t save_code, std::string& message)
{
    const std::vector<Step>& steps = cl.steps;
    if (steps.empty()) {
        int rc = kOk, sys_error = 0;
        bool reading = false;
        const StreamOutcome streamed = StreamConvert(in, out, save_code, rc, sys_error, reading);
        if (streamed == StreamOutcome::kConverted)
            return kOk;
        if (streamed == StreamOutcome::kFailed) {
            message = reading ? in + ": " + ResultTextWithReason(rc, std::string("the file is damaged past its header"))
                              : out + ": " + ResultTextWithReason(rc, sys_error);
            return rc;
        }
    }
    // The reader draws straight into the display bitmap, which the edits change and the
    // writers read: one picture-sized buffer. Colour reduction before a GIF save reads
    // the context's buffers, so a GIF save takes the decoded picture.
    // JPEG, WebP, AVIF and JPEG XL take the quality from the document (PrepareSave).
    doc.save_quality = cl.quality != 0 ? cl.quality : 90;
    doc.direct_decode = SaveReadsDisplay(save_code) ? 1 : 0;
    doc.edited = 0;
    int rc = doc.Open(in);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported; // a media file has no picture to convert
    if (rc != kOk) {
        message = in + ": " + ResultTextWithReason(rc, doc.context->failure_reason);
        return rc;
    }
    for (const Step& s : steps)
        if (rc = s.op->apply(doc, s.value); rc != kOk) {
            message = in + ": --" + s.op->name + " failed: " + ResultText(rc);
            return rc;
        }
    rc = PrepareSave(doc, save_code, out);
    doc.context->lossless = cl.lossless;
    if (rc == kOk)
        rc = doc.Save();
    if (rc == kFormatNotSupported) {
        message = out + ": this build has no " + std::string(SaveFormatName(save_code)) + " writer (" +
                  ResultText(rc) + ")";
        return rc;
    }
    if (rc != kOk) {
        message = out + ": " + ResultTextWithReason(rc, doc.context->failure_reason);
        return rc;
    }
    doc.edited = 0;
    return kOk;
}

int ConvertSingle(TIMAGE_INFO& doc, const CommandLine& cl)
{
    if (cl.files.size() != 2)
        return BadUsage(cl.files.size() > 2 ? "several inputs need -o DIR and --to EXT" : "convert needs IN and OUT");
    if (!cl.to.empty())
        return BadUsage("--to needs -o DIR");
    const std::string& in = cl.files[0];
    const std::string& out = cl.files[1];
    const std::int32_t save_code = SaveCodeForExtension(ExtensionOf(out));
    if (save_code == 0) {
        std::fprintf(stderr, "ravelscope-cli: %s: unknown output format\n", out.c_str());
        return Usage();
    }
    std::string message;
    if (ConvertOne(doc, cl, in, out, save_code, message) != kOk) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}
