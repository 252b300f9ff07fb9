#include "story/story.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "base/limits.hpp"
#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "formats/bmp.hpp"
#include "formats/mag_decoder.hpp"
#include "formats/png.hpp"
#include "platform/file_system.hpp"
#include "platform/host.hpp"
#include "platform/notice_sink.hpp"
#include "story/story_finder.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kZarvo = "Zarvo";

// Host paths are shown in code page 932 boxes; a path with no such form is shown as it is.
std::string hostPathForDisplay(const std::string& path) {
    std::string sjis;
    return utf8ToSjis(path, sjis) ? sjis : path;
}

std::string hostNameToScript(const std::string& name) {
    std::string sjis;
    return utf8ToSjis(name, sjis) ? sjis : name;
}

}  // namespace

Story::Story(const Services& services)
    : services_(services),
      script_(std::make_unique<ScriptFile>(services.notices)),
      variables_(std::make_unique<Variables>(*script_, services.notices, services.clock)),
      layers_(std::make_unique<LayerDefinitions>()),
      susie_(std::make_unique<ImagePluginHost>()) {
    systemFont = texts::kDefaultSystemFont;
}

Story::~Story() {
    closeSavePackage();
    closeLibrary();
    closeProject();
}

void Story::fail() {
    fatalError_ = true;
    if (services_.host) services_.host->terminate();
}

bool Story::openProject(const std::string& path) {
    projectPath_ = path;
    if (services_.files.directoryExists(path) && !findProjectInFolder(path)) return false;
    variables_->setScriptFileName(hostNameToScript(platform::fileName(projectPath_)));
    if (!openProjectFile()) return false;
    if (!checkVersions()) return false;

    projectDir_ = platform::parentPath(projectPath_);
    if (projectDir_.empty()) projectDir_ = ".";
    std::string dataDirectory = script_->readHeadString(kZarvo, "DataDirectory", "");
    if (!dataDirectory.empty())
        dataDir_ = services_.files.resolve(projectDir_, dataDirectory);
    else
        dataDir_ = platform::joinPath(projectDir_, platform::fileStem(projectPath_));

    if (isPackaged()) extractEntries();

    layers_->load(*script_);
    return true;
}

std::string Story::startBook() const {
    return script_->readHeadString(kZarvo, "StartBook", texts::kDefaultStartBook);
}

std::string Story::startPage() const {
    return script_->readHeadString(kZarvo, "StartPage", texts::kDefaultStartPage);
}

bool Story::findProjectInFolder(const std::string& folder) {
    const StorySearch found = findStories(services_.files, folder);
    if (found.stories.size() == 1) {
        projectPath_ = found.stories[0];
        return true;
    }
    // Several are named relative to the folder; none names what the folder holds instead.
    const size_t cut = folder.size() + (folder.empty() || folder.back() == '/' ? 0 : 1);
    std::string list;
    for (const std::string& path : found.stories.empty() ? found.topNames : found.stories) {
        const std::string name =
            found.stories.empty() ? path : path.substr(std::min(path.size(), cut));
        list.append(list.empty() ? "" : "\r\n").append(name);
    }
    services_.notices.tell(found.stories.empty() ? platform::Notice::ProjectFolderEmpty
                                                 : platform::Notice::ProjectFolderSeveral,
                           {hostPathForDisplay(folder), hostPathForDisplay(list)});
    fail();
    return false;
}

bool Story::openProjectFile() {
    auto notFound = [this] {
        services_.notices.tell(platform::Notice::ScriptOpenFailed,
                               {hostPathForDisplay(projectPath_)});
        fail();
        return false;
    };
    if (!services_.files.exists(projectPath_)) return notFound();
    if (hasMagic(services_.files, projectPath_, "QZ7PKG") ||
        hasMagic(services_.files, projectPath_, "MZ")) {
        openPackage(services_.files, projectPath_, projectPackage_);
    } else if (!hasMagic(services_.files, projectPath_, "///")) {
        services_.notices.tell(platform::Notice::WrongHeaderId);
        fail();
        return false;
    }
    std::string bytes;
    if (projectPackage_.isOpen()) {
        // A package without a script entry gives an empty script.
        readEntryToStream(bytes, "zarvo.zf7", projectPackage_, kMaxTextBytes);
    } else if (!platform::readFileAtMost(services_.files, projectPath_, kMaxTextBytes, bytes)) {
        // A plain script, or a stub file that holds no package, that cannot be read.
        return notFound();
    }
    script_->loadFromStream(bytes);
    return true;
}

bool Story::checkVersions() {
    using platform::BoxAnswer;
    using platform::Notice;
    if (script_->readHeadString(kZarvo, "FileType", "") != "QZ7" &&
        services_.notices.tell(Notice::WrongFileType) == BoxAnswer::Abort) {
        fail();
        return false;
    }
    if (script_->readHeadInt(kZarvo, "CommandVersion", Variables::kCommandVersion) >
            Variables::kCommandVersion &&
        services_.notices.tell(Notice::NewerCommandVersion) == BoxAnswer::Abort) {
        fail();
        return false;
    }
    return true;
}

void Story::extractEntries() {
    using platform::Notice;
    if (!script_->readHeadBool(kZarvo, "AutoExtract", false)) return;
    dataDir_ =
        platform::joinPath(platform::parentPath(projectPath_), platform::fileStem(projectPath_));
    if (services_.readOnly) return;
    platform::FileSystem& files = services_.files;
    if (!files.directoryExists(dataDir_)) {
        if (services_.notices.tell(Notice::AskCreateDataFolder,
                                   {hostPathForDisplay(files.placeOf(dataDir_))}) !=
            platform::BoxAnswer::Yes) {
            dataDirDeclined_ = true;
            return;
        }
        if (!files.makeDirectory(dataDir_)) {
            services_.notices.tell(Notice::FolderCreateFailed);
            return;
        }
    }
    for (int i = 0; i < projectPackage_.count; ++i) {
        const PackageEntry* entry = getEntry(projectPackage_, i);
        if (!entry || !entry->autoExtract) continue;
        std::string target;
        if (!files.resolveInside(dataDir_, entry->name, target)) {
            // A name that is absolute or climbs out of the folder is never written.
            services_.notices.tell(Notice::ExtractUnsafeName, {entry->name});
            continue;
        }
        if (files.exists(target)) continue;  // files on disk are never overwritten
        std::string bytes;
        bool read = readEntryIndexToStream(
            [&bytes](const char* data, size_t size) {
                bytes.append(data, size);
                return true;
            },
            i, projectPackage_);
        if (!read || !files.writeFile(target, bytes)) {
            services_.notices.tell(Notice::ExtractFailed, {entry->name});
        }
    }
}

bool Story::openLibrary(const std::string& path) {
    closeLibrary();
    if (!hasMagic(services_.files, path, "QZ7LIB") ||
        !openPackage(services_.files, path, libraryPackage_))
        return false;
    std::string bytes;
    if (!readEntryToStream(bytes, "system.zf7", libraryPackage_)) return false;
    ScriptFile library(services_.notices);
    library.loadFromStream(bytes);
    script_->importBook("_system", library);
    return true;
}

void Story::closeProject() {
    closePackage(projectPackage_);
    if (susieActive_) {
        susie_->closePlugIn();
        susieActive_ = false;
    }
}

ImagePluginHost& Story::plugIns() {
    if (!susieActive_) {
        std::string dir = services_.programDir.empty() ? "." : services_.programDir;
        susie_->openPlugIn(services_.files, dir + "/*.spi");
        susieActive_ = true;
    }
    return *susie_;
}
void Story::closeLibrary() {
    closePackage(libraryPackage_);
}

bool Story::openSavePackage(const std::string& path) {
    closeSavePackage();
    return hasMagic(services_.files, path, "QZ7SAVE") &&
           openPackage(services_.files, path, savePackage_);
}

void Story::closeSavePackage() {
    closePackage(savePackage_);
}

std::optional<std::string> Story::findDataFile(std::string_view name) {
    platform::FileSystem& files = services_.files;
    for (const std::string* dir : {&dataDir_, &projectDir_}) {
        if (dir->empty()) continue;
        std::string path = files.resolve(*dir, name);
        if (files.exists(path)) return path;
    }
    return std::nullopt;
}

bool Story::search(std::string_view name, const std::function<bool(const Source&)>& take) {
    if (savePackage_.isOpen() && take(Source{&savePackage_, {}})) return true;
    if (projectPackage_.isOpen()) {
        if (take(Source{&projectPackage_, {}})) return true;
    } else if (std::optional<std::string> path = findDataFile(name)) {
        if (take(Source{nullptr, std::move(*path)})) return true;
    }
    return libraryPackage_.isOpen() && take(Source{&libraryPackage_, {}});
}

namespace {

bool hasExtension(std::string_view name, std::string_view ext) {
    return name.size() >= ext.size() && sameText(name.substr(name.size() - ext.size()), ext);
}

bool takePng(std::string_view bytes, Picture& picture) {
    return decodePng(bytes, picture) == PngError::None;
}

// A PNG entry as far as it decodes: the picture ends at its own end chunk, so damage to the
// entry after that does not fail it.
bool loadPngEntry(PackageReader& package, std::string_view name, Picture& picture) {
    if (!package.isOpen() || !selectEntryByName(package, name)) return false;
    std::string bytes;
    try {
        std::string chunk(64 * 1024, '\0');
        while (size_t n = readEntry(chunk.data(), 1, chunk.size(), package)) {
            if (bytes.size() + n > uint64_t{kMaxPictureFileBytes}) return false;
            bytes.append(chunk.data(), n);
        }
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return takePng(bytes, picture);
}

}  // namespace

bool Story::decodeFromPackage(PackageReader& package, std::string_view name, bool bmp,
                              Picture& out) {
    if (!package.isOpen()) return false;
    std::string bytes;
    // A BMP is read no further than its headers say it reaches: whatever an entry inflates to
    // beyond that is never needed.
    uint64_t limit = UINT64_MAX;
    if (bmp) {
        if (!readEntryToStream(bytes, name, package, kBmpHeadSize)) return false;
        limit = bmpSizeLimit(bytes);
    }
    if (!readEntryToStream(bytes, name, package, limit)) return false;
    // Inside packages every format but BMP (MAG included) goes to the image plug-ins.
    if (bmp) return decodeBmp(bytes, out);
    return plugIns().loadFromStream(bytes, out);
}

bool Story::decodeFromDisk(const std::string& path, std::string_view name, bool bmp,
                           Picture& out) {  // A damaged BMP or MAG is a failed load, not a picture;
                                            // plug-ins get what no decoder read.
    const bool mag = !bmp && hasExtension(name, ".mag");
    if (!bmp && !mag && plugIns().getPlugNum() == 0) return false;
    std::unique_ptr<platform::ReadableFile> file = services_.files.openRead(path);
    // Whatever is larger than the largest picture with generous room for its tables is not
    // read into memory at all.
    if (!file || file->size() > kMaxPictureFileBytes) return false;
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(file->size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (file->readAt(0, bytes.data(), bytes.size()) != bytes.size()) return false;
    if (bmp) return decodeBmp(bytes, out);
    if (mag) {
        const MagLoad loaded = MagDecoder::loadMagBytes(bytes, out);
        if (loaded == MagLoad::Loaded) return true;
        // A damaged MAG is reported; a plug-in may still read it.
        if (loaded == MagLoad::Damaged) services_.notices.tell(platform::Notice::MagDecodeFailed);
    }
    return plugIns().loadFromStream(bytes, out);
}

bool Story::loadPicture(std::string_view name, Picture& picture) {
    // The decoders report running out of memory as a failed load; this catches what a plug-in
    // host or a later step might still let through.
    try {
        return loadPictureUnguarded(name, picture);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

bool Story::loadPictureUnguarded(std::string_view name, Picture& picture) {
    const bool png = hasExtension(name, ".png");
    const bool bmp = hasExtension(name, ".bmp");
    return search(name, [&](const Source& source) {
        picture = Picture{};  // nothing of an attempt that failed is left over
        if (png) {
            std::string bytes;
            return source.package ? loadPngEntry(*source.package, name, picture)
                                  : platform::readFileAtMost(services_.files, source.path,
                                                             kMaxPictureFileBytes, bytes) &&
                                        takePng(bytes, picture);
        }
        return source.package ? decodeFromPackage(*source.package, name, bmp, picture)
                              : decodeFromDisk(source.path, name, bmp, picture);
    });
}

bool Story::loadStringList(std::string_view entryName, StringList& lines) {
    // Text entries live in packages only.
    return search(entryName, [&](const Source& source) {
        return source.package && readEntryToStrings(entryName, lines, *source.package);
    });
}

bool Story::pictureExists(std::string_view name) {
    return search(name, [&](const Source& source) {
        return !source.package || findEntry(*source.package, name) >= 0;
    });
}

bool Story::dataFileExists(std::string_view name) {
    if (findDataFile(name)) return true;
    if (!isPackaged() || !script_->readHeadBool(kZarvo, "AutoExtract", false)) return false;
    const PackageEntry* entry = getEntry(projectPackage_, findEntry(projectPackage_, name));
    return entry && entry->autoExtract && platform::isSafeRelativeName(entry->name);
}

}  // namespace zarvo
