#include "reconstruction/core/export_run.h"

#include "study/frame_files.h"
#include "study/frame_reader.h"
#include "study/replace_file.h"

namespace exports {

namespace {

const std::array<std::string, 3> kRecordings = {"LAO", "RAO", "IVUS"};

const char* Heading(ExportKind kind)
{
    return kind == ExportKind::Xml ? "The following XML files exported successfully:\n\n"
                                   : "The following Rhino3D files exported successfully:\n\n";
}

}  // namespace

bool ExportOutcome::allWritten() const
{
    if (!refusal.empty())
        return false;
    for (const FileResult& file : files)
        if (!file.ok())
            return false;
    return true;
}

std::optional<FrameSize> ReadFrameSize(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    try {
        const FramePixels image = ReadFrameFile(file, FramePixelFormat::Grey);
        return FrameSize{image.width, image.height};
    } catch (const FrameFileError&) {
        return std::nullopt;
    }
}

std::array<FrameSize, 3> CarriedFrameSizes(const std::optional<FrameSize>& lao,
                                           const std::optional<FrameSize>& rao,
                                           const std::optional<FrameSize>& ivus)
{
    std::array<FrameSize, 3> sizes;
    FrameSize current;
    const std::optional<FrameSize>* read[3] = {&lao, &rao, &ivus};
    for (int i = 0; i < 3; ++i) {
        if (*read[i])
            current = **read[i];
        sizes[i] = current;
    }
    return sizes;
}

std::string ExportFileName(ExportKind kind, int patientCode, const std::string& recording)
{
    return std::to_string(patientCode) + "_" + recording +
           (kind == ExportKind::Xml ? ".xml" : ".txt");
}

std::string WriteFileBytes(const std::filesystem::path& file, const std::string& bytes)
{
    try {
        ReplaceFile(file, bytes);
        return {};
    } catch (const FileWriteError& e) {
        const char* what = e.step() == FileWriteError::Step::Create ? "cannot be created (" : "cannot be written (";
        return what + e.reason() + ")";
    }
}

ExportOutcome RunExport(ExportKind kind, const std::filesystem::path& programFolder,
                        const std::filesystem::path& outputFolder, const CardRows& card)
{
    ExportOutcome outcome;

    const ParsedIvus& ivus = card.ivus;
    const std::optional<ScaleAndLength> scale =
        ExportScale(card.pixelSpacing, FirstOuterArcLengthPx(ivus), card.calibration);
    if (!scale) {
        outcome.refusal =
            "Nothing was exported. The card has no pixel spacing and its calibration points "
            "coincide: calibrate the IVUS images first.";
        return outcome;
    }

    const int code = card.patientCode;
    const auto size = [&](const std::string& recording) {
        return ReadFrameSize(FrameFilePath(programFolder, code, recording, 0));
    };
    const std::optional<FrameSize> laoSize = size("LAO");
    const std::optional<FrameSize> raoSize = size("RAO");
    const std::optional<FrameSize> ivusSize =
        kind == ExportKind::Xml ? size("IVUS") : std::nullopt;
    const std::array<FrameSize, 3> sizes = CarriedFrameSizes(laoSize, raoSize, ivusSize);

    std::array<std::string, 3> contents;
    if (kind == ExportKind::Xml) {
        contents[0] = AngioXmlFile(Projection::LAO, sizes[0], card.lao);
        contents[1] = AngioXmlFile(Projection::RAO, sizes[1], card.rao);
        contents[2] = IvusXmlFile(sizes[2], ivus, *scale);
    } else {
        contents[0] = AngioCadScript(Projection::LAO, sizes[0], card.lao);
        contents[1] = AngioCadScript(Projection::RAO, sizes[1], card.rao);
        contents[2] = IvusCadScript(ivus, *scale);
    }

    for (size_t i = 0; i < 3; ++i) {
        FileResult result;
        result.path = outputFolder / ExportFileName(kind, code, kRecordings[i]);
        result.error = WriteFileBytes(result.path, contents[i]);
        outcome.files.push_back(std::move(result));
    }
    return outcome;
}

std::string SummaryText(ExportKind kind, const ExportOutcome& outcome)
{
    std::string text = Heading(kind);
    for (size_t i = 0; i < outcome.files.size(); ++i)
        if (outcome.files[i].ok())
            text += std::to_string(i + 1) + ") " + outcome.files[i].path.string() + "\n";
    return text;
}

std::string FailureText(const ExportOutcome& outcome)
{
    std::string text;
    for (size_t i = 0; i < outcome.files.size(); ++i)
        if (!outcome.files[i].ok())
            text += std::to_string(i + 1) + ") " + outcome.files[i].path.string() + ": " +
                    outcome.files[i].error + "\n";
    if (!text.empty())
        text = "The following files could not be written:\n\n" + text;
    return text;
}

}  // namespace exports
