// quorvane-document-worker: converts documents with the installed LibreOffice, one request at a
// time, for the application that started it. Requests and answers travel over stdin and stdout
// in the DocumentProtocol format; everything the office prints goes to stderr. The worker quits
// when stdin closes or a "quit" request arrives, and the application kills it when it hangs.
//
//   quorvane-document-worker --office <program folder> --profiles <folder>
#define LOK_USE_UNSTABLE_API
#include <LibreOfficeKit/LibreOfficeKitInit.h>

#include <LibreOfficeKit/LibreOfficeKit.h>
#include <LibreOfficeKit/LibreOfficeKitEnums.h>

#include "converter/documents/DocumentProtocol.h"

#include <dirent.h>
#include <fontconfig/fontconfig.h>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using DocumentProtocol::Message;

int g_answers = -1; // the protocol's end of the original stdout

void send(const Message& message) {
    const std::string bytes = DocumentProtocol::encode(message);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(g_answers, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ::_exit(3); // the application is gone
        written += std::size_t(n);
    }
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

long long fileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? (long long)info.st_size : -1;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

void removeTree(const std::string& path) {
    if (!path.empty())
        ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string fileUrl(const std::string& path) {
    std::string url = "file://";
    static const char* hex = "0123456789ABCDEF";
    for (const unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::strchr("/-_.~", c)) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

// The family fontconfig gives for "sans-serif": the desktop's sans-serif font.
std::string sansSerifFamily() {
    std::string family = "DejaVu Sans";
    if (!FcInit())
        return family;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (!pattern)
        return family;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            family = reinterpret_cast<const char*>(name);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return family;
}

// Sets paper and margins (points) on every page layout of a flat ODF document.
std::string withPageLayout(std::string xml, const std::string& width, const std::string& height,
                           const std::string& margin) {
    const std::string tag = "<style:page-layout-properties";
    const std::pair<const char*, std::string> wanted[] = {
        {"fo:page-width", width + "pt"},         {"fo:page-height", height + "pt"},
        {"fo:margin-top", margin + "pt"},        {"fo:margin-bottom", margin + "pt"},
        {"fo:margin-left", margin + "pt"},       {"fo:margin-right", margin + "pt"},
        {"style:print-orientation", "portrait"},
    };
    std::size_t pos = 0;
    while ((pos = xml.find(tag, pos)) != std::string::npos) {
        std::size_t end = xml.find('>', pos);
        if (end == std::string::npos)
            break;
        std::string element = xml.substr(pos, end - pos);
        for (const auto& [name, value] : wanted) {
            const std::string key = std::string(" ") + name + "=\"";
            const std::size_t at = element.find(key);
            if (at == std::string::npos) {
                element.insert(tag.size(), key + value + "\"");
            } else {
                const std::size_t valueStart = at + key.size();
                const std::size_t valueEnd = element.find('"', valueStart);
                if (valueEnd == std::string::npos)
                    break;
                element.replace(valueStart, valueEnd - valueStart, value);
            }
        }
        xml.replace(pos, end - pos, element);
        pos += element.size();
    }
    return xml;
}

class Office {
public:
    explicit Office(LibreOfficeKit* office)
        : m_office(office) {}

    Message convert(const Message& request) {
        const std::string id = request.value("id").value_or("");
        const std::string input = request.value("input").value_or("");
        const std::string output = request.value("output").value_or("");
        const std::string format = request.value("format").value_or("");
        const std::string folder = request.value("folder").value_or("");
        Message answer;
        answer.set("id", id);
        auto fail = [&](const char* reason, const std::string& detail) {
            answer.kind = DocumentProtocol::kError;
            answer.set("reason", reason).set("detail", detail);
            return answer;
        };
        if (input.empty() || output.empty() || format.empty())
            return fail("request", "incomplete request");

        // Lets the tests stand in for an office that never comes back.
        if (const char* hang = std::getenv("QC_DOCUMENT_WORKER_TEST_HANG");
            hang && *hang && input.find(hang) != std::string::npos) {
            for (;;)
                ::pause();
        }

        LibreOfficeKitDocument* document = load(input);
        if (!document)
            return fail("load", lastError());
        if (document->pClass->getDocumentType(document) != LOK_DOCTYPE_TEXT) {
            document->pClass->destroy(document);
            return fail("load", "not a text document");
        }

        // Web pages open as HTML documents: round-trip them through flat ODF so that they become
        // text documents (every filter applies) and take the paper we were given.
        if (request.value("normalize") == "1") {
            const std::string flat = folder + "/normalized.fodt";
            const bool saved = document->pClass->saveAs(document, flat.c_str(), "fodt", nullptr);
            document->pClass->destroy(document);
            if (!saved || fileSize(flat) <= 0)
                return fail("load", lastError());
            if (const auto width = request.value("paperWidth")) {
                const std::string xml =
                    withPageLayout(readFile(flat), *width, request.value("paperHeight").value_or(""),
                                   request.value("margin").value_or("54"));
                if (!writeFile(flat, xml))
                    return fail("save", "cannot write the page layout");
            }
            document = load(flat);
            if (!document)
                return fail("load", lastError());
        }

        const std::string options = request.value("filterOptions").value_or("");
        const bool saved = document->pClass->saveAs(document, output.c_str(), format.c_str(),
                                                    options.empty() ? nullptr : options.c_str());
        document->pClass->destroy(document);
        // A document without any text is an empty text file, as the office itself writes it.
        if (!saved || fileSize(output) < 0)
            return fail("save", lastError());
        answer.kind = DocumentProtocol::kOk;
        return answer;
    }

private:
    LibreOfficeKit* m_office;

    LibreOfficeKitDocument* load(const std::string& path) {
        // Batch mode: never wait for a dialog (passwords, repairs, encodings).
        return m_office->pClass->documentLoadWithOptions(m_office, fileUrl(path).c_str(), "Batch=true");
    }

    std::string lastError() {
        char* error = m_office->pClass->getError(m_office);
        std::string text = error ? error : "";
        if (error)
            m_office->pClass->freeError(error);
        return text;
    }
};

struct Profile {
    std::string path;
    bool temporary = false;
};

// Whether the "lock" file in a private profile is held by a living worker.
bool profileInUse(const std::string& profile) {
    const int fd = ::open((profile + "/lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// Private profiles of workers that were killed (their lock is free) are removed.
void removeEndedProfiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> ended;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("temp-", 0) != 0)
            continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && !profileInUse(path) &&
            ::access((path + "/lock").c_str(), F_OK) == 0)
            ended.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : ended)
        removeTree(path);
}

// The shared profile when no other worker uses it (a first start takes seconds, later ones a
// fraction), otherwise a private one beside it, whose lock this process holds until it ends so
// that the next worker or the application's start-up can tell it was left behind.
Profile chooseProfile(const std::string& folder) {
    std::string pattern = "/tmp/qc-office-XXXXXX";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        pattern = std::string(tmp) + "/qc-office-XXXXXX";
    if (!folder.empty()) {
        ::mkdir(folder.c_str(), 0700);
        const int lock = ::open((folder + "/profile.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        // Held until the process ends.
        if (lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0)
            return {folder + "/profile", false};
        if (lock >= 0)
            ::close(lock);
        removeEndedProfiles(folder);
        pattern = folder + "/temp-XXXXXX";
    }
    if (!::mkdtemp(pattern.data()))
        return {};
    // Held until the process ends (the descriptor is never closed).
    const int lock = ::open((pattern + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        ::flock(lock, LOCK_EX | LOCK_NB);
    return {pattern, true};
}

} // namespace

int main(int argc, char** argv) {
    std::string officeFolder = "/usr/lib/libreoffice/program";
    std::string profiles;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--office")
            officeFolder = argv[i + 1];
        else if (name == "--profiles")
            profiles = argv[i + 1];
    }

    // Answers go to the original stdout; whatever the office prints lands on stderr.
    g_answers = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    if (g_answers < 0)
        return 2;

    if (!exists(officeFolder + "/libmergedlo.so") && !exists(officeFolder + "/libsofficeapp.so")) {
        send(Message{std::string(DocumentProtocol::kFailed), {}}
                 .set("reason", "missing")
                 .set("detail", officeFolder));
        ::_exit(0);
    }

    Profile profile = chooseProfile(profiles);
    LibreOfficeKit* office =
        profile.path.empty() ? nullptr : lok_init_2(officeFolder.c_str(), fileUrl(profile.path).c_str());
    if (!office) {
        send(Message{std::string(DocumentProtocol::kFailed), {}}
                 .set("reason", "start")
                 .set("detail", officeFolder));
        if (profile.temporary)
            removeTree(profile.path);
        ::_exit(0);
    }
    send(Message{std::string(DocumentProtocol::kReady), {}}.set("sans", sansSerifFamily()));

    Office worker(office);
    DocumentProtocol::Reader reader;
    char buffer[65536];
    bool running = true;
    while (running) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        reader.append(std::string_view(buffer, std::size_t(n)));
        while (auto message = reader.next()) {
            if (message->kind == DocumentProtocol::kQuit) {
                running = false;
                break;
            }
            if (message->kind == DocumentProtocol::kConvert) {
                Message answer = worker.convert(*message);
                // A document the office failed to open can leave it broken for the next one (it
                // aborts on a later load): quit, so that the next document gets a fresh office.
                const bool restart = answer.value("reason") == "load";
                if (restart)
                    answer.set("restart", "1");
                send(answer);
                if (restart) {
                    running = false;
                    break;
                }
            }
        }
        if (reader.malformed())
            break;
    }
    office->pClass->destroy(office);
    if (profile.temporary)
        removeTree(profile.path);
    ::_exit(0);
}
