#include "commands/info_command.h"

#include "errors.h"
#include "io/writing/frame_file_writer.h"
#include "number_text.h"
#include "io/reading/picture.h"
#include "hosting/plugin_session.h"
#include "hosting/control_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <hostsdk/registry.h>
#include <hostsdk/tag_list.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

namespace taviron::cli {

namespace {

// One link as the host knows it.
struct LinkReport {
    std::string name;
    std::string id;
    std::string dataType;
    std::vector<std::string> controls;
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> start;
    std::vector<std::string> items;
};

std::optional<double> DoubleTag(const TagList& tags, Tag tag) {
    if (!tags.Find(tag)) return std::nullopt;
    return tags.GetDouble(tag, 0.0);
}

LinkReport ReportOf(const Link& link) {
    const TagList& tags = link.Tags();
    LinkReport report;
    report.name = link.Name().Text();
    report.id = link.ID().Text();
    report.dataType = link.DataType().Text();
    for (Tag tag : {TAG_Control, TAG_SecondControl})
        if (tags.Find(tag)) report.controls.push_back(tags.GetID(tag).Text());
    report.min = DoubleTag(tags, TAG_RangeMin);
    report.max = DoubleTag(tags, TAG_RangeMax);
    report.items = tags.GetStrings(TAG_Item);
    return report;
}

struct ClassReport {
    Registry* record = nullptr;
    std::vector<LinkReport> inputs;
    std::vector<LinkReport> outputs;
};

ClassReport ReportOf(Registry& record) {
    ClassReport report;
    report.record = &record;
    Operator* tool = record.Create(ScriptVal{}, TagList());
    if (!tool) return report;
    for (const Input* input : tool->Inputs()) {
        report.inputs.push_back(ReportOf(*input));
        report.inputs.back().start = input->Value();  // the starting value as the host holds it
    }
    for (const Output* output : tool->Outputs()) report.outputs.push_back(ReportOf(*output));
    tool->Recycle();
    return report;
}

void PrintLink(std::ostream& out, const LinkReport& link) {
    out << "  " << link.name << " (ID \"" << link.id << "\")";
    if (!link.dataType.empty()) out << ", " << link.dataType;
    for (const std::string& control : link.controls) out << ", " << control;
    if (link.min || link.max)
        out << ", range " << (link.min ? NumberText(*link.min) : "?") << " to "
            << (link.max ? NumberText(*link.max) : "?");
    if (link.start) out << ", starts at " << NumberText(*link.start);
    if (!link.items.empty()) {
        out << ", items";
        for (size_t i = 0; i < link.items.size(); ++i)
            out << (i ? ", " : " ") << i << " \"" << link.items[i] << "\" (" << CommandLineWord(link.items[i]) << ')';
    }
    out << '\n';
}

void PrintText(std::ostream& out, const ClassReport& report) {
    const Registry& record = *report.record;
    out << "taviron " TAVIRON_VERSION "\n"
        << record.ID().Text() << ": " << record.Name() << " (category " << record.Category() << ")\n"
        << "  " << record.HelpText() << '\n'
        << "  " << record.BuildStamp() << '\n'
        << "Inputs:\n";
    for (const LinkReport& link : report.inputs) PrintLink(out, link);
    out << "Outputs:\n";
    for (const LinkReport& link : report.outputs) PrintLink(out, link);
}

// Whole numbers as integers ("max": 250, not 250.0); what is not a number
// as null.
nlohmann::ordered_json NumberValue(double value) {
    if (!std::isfinite(value)) return nullptr;
    constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
    if (value == std::trunc(value) && std::fabs(value) <= kExactIntegers) return static_cast<int64_t>(value);
    return value;
}

nlohmann::ordered_json LinkJson(const LinkReport& link) {
    nlohmann::ordered_json json = {{"name", link.name}, {"id", link.id}};
    if (!link.dataType.empty()) json["dataType"] = link.dataType;
    json["controls"] = link.controls;
    const std::pair<const char*, const std::optional<double>*> numbers[] = {
        {"min", &link.min}, {"max", &link.max}, {"default", &link.start}};
    for (const auto& [key, value] : numbers)
        if (*value) json[key] = NumberValue(**value);
    json["items"] = link.items;
    auto& words = json["words"] = nlohmann::ordered_json::array();  // the items as the command line spells them
    for (const std::string& item : link.items) words.push_back(CommandLineWord(item));
    return json;
}

nlohmann::ordered_json ClassJson(const ClassReport& report) {
    const Registry& record = *report.record;
    nlohmann::ordered_json json = {{"id", record.ID().Text()},
                                   {"name", record.Name()},
                                   {"category", record.Category()},
                                   {"help", record.HelpText()},
                                   {"buildStamp", record.BuildStamp()}};
    for (const auto& [key, links] : {std::pair{"inputs", &report.inputs}, std::pair{"outputs", &report.outputs}}) {
        auto& array = json[key] = nlohmann::ordered_json::array();
        for (const LinkReport& link : *links) array.push_back(LinkJson(link));
    }
    return json;
}

// A plug-in's texts need not be UTF-8: bytes that are not are shown as
// U+FFFD rather than failing the report.
void WriteJson(std::ostream& out, const std::vector<ClassReport>& reports) {
    nlohmann::ordered_json json = {{"version", TAVIRON_VERSION}, {"classes", nlohmann::ordered_json::array()}};
    for (const ClassReport& report : reports) json["classes"].push_back(ClassJson(report));
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The picture is written under a temporary name beside `path`: a folder that
// is missing or cannot be written is named as such, before anything is
// printed.
void CheckPictureFolder(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? "." : parent.string();
    const auto refuse = [&](const std::string& reason) {
        return OutputError("cannot write the picture " + path + ": its folder " + folder + " " + reason);
    };
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0)
        throw refuse(errno == ENOENT ? "does not exist" : std::string("cannot be read: ") + std::strerror(errno));
    if (!S_ISDIR(status.st_mode)) throw refuse("is not a folder");
    if (access(folder.c_str(), W_OK | X_OK) != 0) throw refuse(std::string("cannot be written: ") + std::strerror(errno));
}

void WritePicture(const Registry& record, const std::string& path) {
    const taviron::HostRef<Image> picture = DecodeBitmap(record.Picture());
    WriteFrameFile(path, *picture, EightBitFormat(picture->Width(), picture->Height(), 4), nullptr,
                   OIIO::TypeDesc::UINT8);
}

}  // namespace

int RunInfo(const std::string& pluginPath, bool json, const std::string& picturePath) {
    const auto module = LoadPlugin(pluginPath);
    Registry& tool = ToolClassOf(pluginPath);
    std::vector<ClassReport> reports;
    for (Registry* record : ClassRegistry->All()) reports.push_back(ReportOf(*record));

    // The picture first: a failure to write it is told without the listing.
    if (!picturePath.empty()) {
        CheckPictureFolder(picturePath);
        WritePicture(tool, picturePath);
    }
    if (json) {
        WriteJson(std::cout, reports);
    } else {
        for (const ClassReport& report : reports) PrintText(std::cout, report);
    }
    return 0;
}

CLI::App& AddInfoCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& info = *app.add_subcommand("info", "List the tool's registration, inputs and outputs");
    struct InfoOptions {
        bool json = false;
        std::string picturePath;
    };
    const auto options = std::make_shared<InfoOptions>();
    info.add_flag("--json", options->json, "As JSON");
    info.add_option("--picture", options->picturePath, "Write the tool's picture to this PNG file")->default_str("none");
    info.callback([options, &chosen] {
        chosen = [options](const std::string& pluginPath) {
            return RunInfo(pluginPath, options->json, options->picturePath);
        };
    });
    return info;
}

}  // namespace taviron::cli
