// Saves that go wrong: a read-only folder or file, a folder in the way, a
// full disk and a saving process killed part-way. After each the old file
// is exactly as it was, or else the new one is complete. And saves that
// must respect what the user has: links, other names, owners, long names.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>

#include "builders/IconBuilder.h"
#include "core/Document.h"
#include "core/DocumentFile.h"
#include "formats/Errors.h"
#include "formats/Fd.h"
#include "formats/FileBytes.h"
#include "formats/OnExit.h"
#include "formats/SafeSave.h"
#include "formats/RecoveryCopy.h"
#include "formats/ZNFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr uid_t kNobody = 65534;
constexpr size_t kReadLimit = size_t(64) << 20;

// A frame of seeded random standard colours with some transparent pixels.
std::unique_ptr<TFrameIcon> RandomFrame(std::mt19937& random) {
    std::uniform_int_distribution<int> colour(-1, 15);
    return TFrameIcon::Built(test::MakeImage(16, 16, [&](int, int) {
        const int c = colour(random);
        return c < 0 ? test::Clear() : test::Opaque(kStandardColours[size_t(c)]);
    }));
}

TDocument Document(const std::string& title, int frames, uint32_t seed) {
    std::mt19937 random(seed);
    TDocument document;
    document.title = title;
    document.authorName = "Tester";
    document.categoryIndex = 3;
    document.ClearDocument();
    for (int i = 0; i < frames; ++i) document.AppendFrame(RandomFrame(random), 1 + i % 60);
    return document;
}

// How a save ended, as a line a test can compare.
std::string Outcome(const std::function<void()>& save) {
    try {
        save();
        return "saved";
    } catch (const EFCreateError& e) {
        return std::string("EFCreateError: ") + e.what();
    } catch (const EWriteError& e) {
        return std::string("EWriteError: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("other error: ") + e.what();
    }
}

std::string SaveOutcome(const std::string& path, const TDocument& document) {
    return Outcome([&] { WriteZNFile(path, document); });
}
std::string SaveOutcome(const std::string& path, const Bytes& bytes) {
    return Outcome([&] { WriteFileAtomically(path, bytes); });
}

std::string CannotCreate(const std::string& path) { return "EFCreateError: " + messages::CannotCreate(path); }

void WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, size_t(n));
    }
}

int Reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

// Runs body in a child process and returns the text it produced, or how
// the child ended when it did not finish normally.
std::string InChild(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return "no fork";
    }
    if (pid == 0) {
        ::close(out[0]);
        WriteAll(out[1], body());
        ::_exit(0);
    }
    ::close(out[1]);
    const std::string text = ReadAll(out[0]);
    ::close(out[0]);
    const int status = Reap(pid);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended with status " + std::to_string(status);
    return text;
}

constexpr const char* kCannotDrop = "cannot drop privileges";

// Root writes wherever it likes, so saves that permissions must stop run
// as 'nobody' when the tests run as root.
std::string AsUnprivileged(const std::function<std::string()>& body) {
    return InChild([&] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            return std::string(kCannotDrop);
        return body();
    });
}

bool InstallFilter(std::vector<sock_filter> filter) {
    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The bytes of a file named relative to an open folder.
Bytes ContentsAt(int folder, const std::string& name) {
    const Fd file(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return {};
    const std::string text = ReadAll(file.get());
    return Bytes(text.begin(), text.end());
}

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "save_faults_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        // An unprivileged child must reach the folders made inside.
        fs::permissions(m_dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir, ignored))
            if (entry.is_directory(ignored)) fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_dir, ignored);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // A folder holding target.zn, saved from a small document.
    std::string folderWithTarget(const std::string& folder) {
        fs::create_directory(path(folder));
        const std::string target = path(folder) + "/target.zn";
        WriteZNFile(target, Document("old", 3, 1));
        return target;
    }

    // Leaves target writable by anyone in a folder only root may add to.
    void lockFolderOfWritableTarget(const std::string& folder, const std::string& target) {
        fs::permissions(target, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
        fs::permissions(path(folder), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    static Bytes Contents(const std::string& file) { return ReadFileBytes(file, kReadLimit); }

    static std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

// --- Permissions --------------------------------------------------------------

// A file the user may write is saved in place where its folder takes no
// new file; a new file there still cannot be made.
TEST_F(SaveFaults, AReadOnlyFolderTakesNoNewFileButItsWritableFileIsSaved) {
    const std::string target = folderWithTarget("locked");
    lockFolderOfWritableTarget("locked", target);
    const TDocument after = Document("new", 3, 2);

    const std::string fresh = path("locked/fresh.zn");
    const std::string outcome = AsUnprivileged([&] {
        if (::access(target.c_str(), W_OK) != 0) return std::string("the file is not writable");
        return SaveOutcome(target, after) + "\n" + SaveOutcome(fresh, after);
    });
    if (outcome == kCannotDrop) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(outcome, "saved\n" + CannotCreate(fresh));
    EXPECT_EQ(Contents(target), EncodeZNFile(after));
    EXPECT_EQ(Names(path("locked")), std::vector<std::string>{"target.zn"}) << "no temporary file is left";
}

TEST_F(SaveFaults, AReadOnlyFileIsNotReplaced) {
    const std::string target = folderWithTarget("open");
    const Bytes before = Contents(target);
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    EXPECT_EQ(SaveOutcome(target, Document("new", 3, 2)), CannotCreate(target));
    EXPECT_EQ(Contents(target), before);
    EXPECT_EQ(Names(path("open")), std::vector<std::string>{"target.zn"});
}

// A folder anyone may write to lets the save rename over a file it may not
// write; the save must refuse all the same.
TEST_F(SaveFaults, AFileTheUserMayNotWriteIsNotReplacedFromAWritableFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file the saving user cannot write";
    const std::string target = folderWithTarget("shared");
    const Bytes before = Contents(target);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    fs::permissions(path("shared"), fs::perms::all);

    const std::string outcome = AsUnprivileged([&] { return SaveOutcome(target, Document("new", 3, 2)); });
    if (outcome == kCannotDrop) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(outcome, CannotCreate(target));
    EXPECT_EQ(Contents(target), before);
    EXPECT_EQ(Names(path("shared")), std::vector<std::string>{"target.zn"});
}

TEST_F(SaveFaults, AFolderInTheWayIsLeftAsItWas) {
    fs::create_directories(path("in/the/way.zn"));
    WriteZNFile(path("in/the/way.zn/inside.zn"), Document("inside", 2, 3));
    const Bytes inside = Contents(path("in/the/way.zn/inside.zn"));

    EXPECT_EQ(SaveOutcome(path("in/the/way.zn"), Document("new", 3, 2)), CannotCreate(path("in/the/way.zn")));
    EXPECT_TRUE(fs::is_directory(path("in/the/way.zn")));
    EXPECT_EQ(Names(path("in/the/way.zn")), std::vector<std::string>{"inside.zn"});
    EXPECT_EQ(Contents(path("in/the/way.zn/inside.zn")), inside);
    EXPECT_EQ(Names(path("in/the")), std::vector<std::string>{"way.zn"});
}

// A pipe stands for any special file, /dev/null included: never replaced.
TEST_F(SaveFaults, ASpecialFileInTheWayIsLeftAsItWas) {
    ASSERT_EQ(::mkfifo(path("pipe.zn").c_str(), 0666), 0);
    EXPECT_EQ(SaveOutcome(path("pipe.zn"), Document("new", 3, 2)), CannotCreate(path("pipe.zn")));
    EXPECT_TRUE(fs::is_fifo(path("pipe.zn")));
}

// A failed save carries the system's reason from where it failed, for
// tools and logs; the user's message stays the system's own.
TEST_F(SaveFaults, AFailedSaveCarriesTheSystemsReason) {
    fs::create_directory(path("folder.zn"));
    std::ofstream(path("plain")) << "a file";
    std::ofstream(path("readonly.zn")) << "old";
    fs::permissions(path("readonly.zn"), fs::perms::owner_read);
    ASSERT_EQ(::mkfifo(path("pipe.zn").c_str(), 0666), 0);
    fs::create_symlink("loop.zn", path("loop.zn"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"folder.zn", std::strerror(EISDIR)},         {"plain/out.zn", std::strerror(ENOTDIR)},
        {"missing/out.zn", std::strerror(ENOENT)},    {"readonly.zn", std::strerror(EACCES)},
        {"loop.zn", std::strerror(ELOOP)},            {"pipe.zn", "not a regular file"},
    };
    for (const auto& [name, reason] : cases) {
        try {
            WriteFileAtomically(path(name), Bytes{1});
            ADD_FAILURE() << name << " was saved";
        } catch (const EZintraError& e) {
            EXPECT_EQ(e.what(), messages::CannotCreate(path(name)));
            EXPECT_EQ(e.reason(), reason) << name;
        }
    }
}

// --- File systems that keep less ------------------------------------------------

// A file system that keeps no mode or owner gives the replacement what it
// gives every file: FAT through FUSE (fusefat) answers fchmod with ENOSYS.
TEST_F(SaveFaults, AFileOnFatThroughFuseIsSavedOver) {
    const std::string image = path("fat.img"), mount = path("fat");
    fs::create_directory(mount);
    if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
        std::system(("mkfs.fat -C " + image + " 4096 >/dev/null 2>&1").c_str()) != 0 ||
        std::system(("fusefat -o rw+ " + image + " " + mount + " >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "cannot mount FAT through FUSE here (needs /dev/fuse, mkfs.fat and fusefat)";
    const OnExit unmount([&] { ::umount2(mount.c_str(), MNT_DETACH); });
    const std::string target = mount + "/target.zn";
    for (const uint32_t seed : {1, 2}) {
        EXPECT_EQ(SaveOutcome(target, Document("new", 3, seed)), "saved");
        EXPECT_EQ(Contents(target), EncodeZNFile(Document("new", 3, seed)));
    }
    EXPECT_EQ(Names(mount), std::vector<std::string>{"target.zn"});
}

// --- Links, owners and names -------------------------------------------------

struct LinkCase {
    const char* name;
    // Each link and the text it holds; a leading '/' stands for the test folder.
    std::vector<std::pair<std::string, std::string>> links;
    std::string saved;   // the name the save is given
    std::string writes;  // the file it must write; empty when it must fail
};
void PrintTo(const LinkCase& row, std::ostream* out) { *out << row.name; }

class SaveThroughLinks : public SaveFaults, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(SaveThroughLinks, WritesTheFileTheLinksNameAndKeepsTheLinks) {
    for (const char* folder : {"a", "b", "c"}) fs::create_directory(path(folder));
    WriteZNFile(path("c/real.zn"), Document("old", 3, 1));
    const LinkCase& row = GetParam();
    auto text = [&](const std::string& to) { return to[0] == '/' ? m_dir.string() + to : to; };
    for (const auto& [link, to] : row.links) fs::create_symlink(text(to), path(link));

    const TDocument after = Document("new", 3, 2);
    if (row.writes.empty()) {
        EXPECT_EQ(SaveOutcome(path(row.saved), after), CannotCreate(path(row.saved)));
    } else {
        EXPECT_EQ(SaveOutcome(path(row.saved), after), "saved");
        EXPECT_EQ(Contents(path(row.writes)), EncodeZNFile(after));
    }
    for (const auto& [link, to] : row.links) {
        EXPECT_TRUE(fs::is_symlink(path(link))) << link;
        EXPECT_EQ(fs::read_symlink(path(link)), text(to)) << link;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, SaveThroughLinks,
    ::testing::Values(LinkCase{"Absolute", {{"a/link.zn", "/c/real.zn"}}, "a/link.zn", "c/real.zn"},
                      LinkCase{"Dangling", {{"a/link.zn", "../c/missing.zn"}}, "a/link.zn", "c/missing.zn"},
                      LinkCase{"RelativeChain", {{"a/link.zn", "../b/mid.zn"}, {"b/mid.zn", "../c/real.zn"}},
                               "a/link.zn", "c/real.zn"},
                      LinkCase{"Loop", {{"a/one.zn", "two.zn"}, {"a/two.zn", "one.zn"}}, "a/one.zn", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Saved larger, then smaller again: every name sees each version whole.
TEST_F(SaveFaults, AHardLinkedFileKeepsItsOtherNames) {
    const std::string target = folderWithTarget("linked");
    const std::string other = path("linked/other.zn");
    fs::create_hard_link(target, other);
    const Bytes before = Contents(target);
    for (const Bytes& bytes : {EncodeZNFile(Document("new", 40, 2)), before}) {
        WriteFileAtomically(target, bytes);
        EXPECT_EQ(Contents(other), bytes);
        EXPECT_TRUE(fs::equivalent(target, other));
        EXPECT_EQ(fs::hard_link_count(target), 2u);
        EXPECT_EQ(Names(path("linked")), (std::vector<std::string>{"other.zn", "target.zn"}));
    }
}

TEST_F(SaveFaults, RootKeepsTheOwnerGroupAndModeOfAReplacedFile) {
    const std::string target = folderWithTarget("owned");
    constexpr const char* kCannotGive = "cannot give the file to another user";
    const std::string outcome = InChild([&] {
        if (::geteuid() != 0 || ::chown(target.c_str(), kNobody, kNobody) != 0 || ::chmod(target.c_str(), 0640) != 0)
            return std::string(kCannotGive);
        return SaveOutcome(target, Document("new", 3, 2));
    });
    if (outcome == kCannotGive) GTEST_SKIP() << "needs root to own a file for another user";
    EXPECT_EQ(outcome, "saved");
    struct stat info{};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kNobody);
    EXPECT_EQ(info.st_gid, kNobody);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Contents(target), EncodeZNFile(Document("new", 3, 2)));
}

// The longest name a folder entry may have, made and then replaced.
TEST_F(SaveFaults, TheLongestFileNameIsSaved) {
    const std::string name = std::string(252, 'n') + ".zn";
    for (uint32_t seed : {1, 2}) {
        EXPECT_EQ(SaveOutcome(path(name), Document("new", 3, seed)), "saved");
        EXPECT_EQ(Contents(path(name)), EncodeZNFile(Document("new", 3, seed)));
    }
    EXPECT_EQ(Names(m_dir), std::vector<std::string>{name});
}

// Opens a folder whose path is exactly length bytes, nested under top, and
// sets path to it.
Fd DeepFolder(const std::string& top, size_t length, std::string& path) {
    path = top;
    Fd folder(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (folder.valid() && path.size() < length) {
        const size_t left = length - path.size() - 1;
        const std::string name(left <= NAME_MAX ? left : 200, 'd');
        ::mkdirat(folder.get(), name.c_str(), 0755);
        folder = Fd(::openat(folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        path += "/" + name;
    }
    return folder;
}

// A path of 4096 bytes is longer than the system takes whole, but its
// folder and its name are not: each guarantee holds there as anywhere.
TEST_F(SaveFaults, EveryGuaranteeHoldsAtTheLongestPaths) {
    const Bytes before(50, 'o'), after(80, 'n');
    const OnExit removeDeepFolders([&] { std::system(("rm -rf " + path("deep")).c_str()); });
    fs::create_directory(path("deep"));
    for (const size_t length : {4094, 4095, 4096}) {
        SCOPED_TRACE("a path of " + std::to_string(length) + " bytes");
        std::string folderPath;
        const Fd folder = DeepFolder(path("deep"), length - 9, folderPath);  // each name below has 8 bytes
        ASSERT_TRUE(folder.valid());
        const int at = folder.get();
        for (const auto& [name, mode] :
             {std::pair{"mode0600", 0600}, {"readonly", 0444}, {"linked.a", 0644}, {"symreal0", 0644}}) {
            const Fd file(::openat(at, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
            ASSERT_EQ(::write(file.get(), before.data(), before.size()), ssize_t(before.size()));
            ASSERT_EQ(::fchmod(file.get(), mode_t(mode)), 0);
        }
        ASSERT_EQ(::linkat(at, "linked.a", at, "linked.b", 0), 0);
        ASSERT_EQ(::symlinkat("symreal0", at, "symlink0"), 0);
        const auto save = [&](const std::string& name) { return SaveOutcome(folderPath + "/" + name, after); };

        EXPECT_EQ(save("mode0600"), "saved");
        struct stat info{};
        EXPECT_EQ(::fstatat(at, "mode0600", &info, 0) == 0 ? info.st_mode & 07777 : 0, 0600u);
        EXPECT_EQ(save("readonly"), CannotCreate(folderPath + "/readonly"));
        EXPECT_EQ(ContentsAt(at, "readonly"), before);
        EXPECT_EQ(save("linked.a"), "saved");
        EXPECT_EQ(ContentsAt(at, "linked.b"), after);
        EXPECT_EQ(save("symlink0"), "saved");
        EXPECT_EQ(ContentsAt(at, "symreal0"), after);
        EXPECT_EQ(::fstatat(at, "symlink0", &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode), true);
    }
}

// A killed save may leave a temporary file; the next save into the folder
// removes those older than an hour, and no other file.
TEST_F(SaveFaults, ASaveRemovesOldLeftoversOfKilledSaves) {
    const std::string target = folderWithTarget("swept");
    const auto now = fs::file_time_type::clock::now();
    for (const auto& [name, age] : {std::pair{".zintra-save-old001", std::chrono::hours(2)},
                                    std::pair{".zintra-save-new001", std::chrono::hours(0)},
                                    std::pair{".kept.zn", std::chrono::hours(2)}}) {
        std::ofstream(path("swept/") + name) << "left";
        fs::last_write_time(path("swept/") + name, now - age);
    }
    WriteZNFile(target, Document("new", 3, 2));
    EXPECT_EQ(Names(path("swept")), (std::vector<std::string>{".kept.zn", ".zintra-save-new001", "target.zn"}));
}

// --- A full disk --------------------------------------------------------------

// Saves in a child whose files may not grow past limit bytes, the way a
// full disk stops a write part-way.
std::string SaveWithFileSizeLimit(const std::string& target, const TDocument& document, rlim_t limit,
                                  const std::function<std::string(const std::function<std::string()>&)>& in = InChild) {
    return in([&] {
        const rlimit cap{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &cap) != 0) return std::string("cannot limit the file size");
        std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead
        return SaveOutcome(target, document);
    });
}

TEST_F(SaveFaults, AFullDiskKeepsTheOldFile) {
    const std::string target = folderWithTarget("full");
    const Bytes before = Contents(target);
    const TDocument large = Document("new", 200, 4);
    const size_t size = EncodeZNFile(large).size();
    ASSERT_GT(size, before.size());

    const std::string expected = "EWriteError: " + std::string(std::strerror(EFBIG)) + ": " + target;
    for (rlim_t limit : {rlim_t(0), rlim_t(before.size()), rlim_t(size / 2), rlim_t(size - 1)}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        EXPECT_EQ(SaveWithFileSizeLimit(target, large, limit), expected);
        EXPECT_EQ(Contents(target), before);
        EXPECT_EQ(Names(path("full")), std::vector<std::string>{"target.zn"});
    }
    EXPECT_EQ(SaveWithFileSizeLimit(target, large, size), "saved") << "a limit the file fits in is no fault";
    EXPECT_EQ(Contents(target), EncodeZNFile(large));
}

// Where the file must be written in place, a write stopped part-way puts
// the old bytes back: with a hard link (the new bytes are tried in a
// temporary file first, which fails), and unprivileged in a folder that
// takes no new file (only the free space is checked, so the write fails).
TEST_F(SaveFaults, AFailedSaveInPlacePutsTheOldBytesBack) {
    const std::string target = folderWithTarget("inplace");
    fs::create_hard_link(target, path("inplace/other.zn"));
    const Bytes before = Contents(target);
    const TDocument large = Document("new", 200, 4);
    const size_t size = EncodeZNFile(large).size();
    const std::string expected = "EWriteError: " + std::string(std::strerror(EFBIG)) + ": " + target;

    for (const bool locked : {false, true}) {
        if (locked) lockFolderOfWritableTarget("inplace", target);
        for (rlim_t limit : {rlim_t(0), rlim_t(before.size() / 2), rlim_t(size - 1)}) {
            SCOPED_TRACE((locked ? "locked folder, limit " : "hard link, limit ") + std::to_string(limit));
            const std::string outcome = SaveWithFileSizeLimit(target, large, limit, locked ? AsUnprivileged : InChild);
            if (outcome == kCannotDrop) GTEST_SKIP() << "cannot switch to an unprivileged user";
            EXPECT_EQ(outcome, expected);
            EXPECT_EQ(Contents(target), before);
            EXPECT_EQ(fs::hard_link_count(target), 2u);
            EXPECT_EQ(Names(path("inplace")), (std::vector<std::string>{"other.zn", "target.zn"}));
        }
    }
}

constexpr const char* kCannotMount = "cannot mount a file system here";

// Runs body in a child that alone sees a 2 MiB tmpfs mounted at folder.
std::string OnSmallDisk(const std::string& folder, const std::function<std::string()>& body) {
    return InChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=2m") != 0)
            return std::string(kCannotMount);
        return body();
    });
}

// 384 KiB saved as 1152 KiB with about 1660 KiB free: the growth fits,
// the growth and a copy of the new bytes together do not.
TEST_F(SaveFaults, AHardLinkedFileOnANearlyFullDiskIsSavedWhenTheGrowthFits) {
    fs::create_directory(path("small"));
    const std::string target = path("small/target.zn"), other = path("small/other.zn");
    const Bytes before(384 << 10, 'o'), after(1152 << 10, 'n');
    const std::string outcome = OnSmallDisk(path("small"), [&] {
        WriteFileAtomically(target, before);
        fs::create_hard_link(target, other);
        struct statvfs space{};
        const uint64_t free = ::statvfs(path("small").c_str(), &space) == 0 ? space.f_bavail * space.f_frsize : 0;
        if (free < after.size() - before.size() || free >= 2 * after.size() - before.size())
            return "not the disk meant: " + std::to_string(free >> 10) + " KiB free";
        const std::string saved = SaveOutcome(target, after);
        return saved + (Contents(other) == after ? ", whole" : ", not whole");
    });
    if (outcome == kCannotMount) GTEST_SKIP() << "cannot mount a 2 MiB tmpfs here (needs root)";
    EXPECT_EQ(outcome, "saved, whole");
}

// The in-place write keeps no more of the old file than the new bytes
// cover: a sparse 4 GiB hard-linked file is saved small by a child that
// may not map 1 GiB.
TEST_F(SaveFaults, AHugeHardLinkedFileIsRewrittenInBoundedMemory) {
    if (kSanitized) GTEST_SKIP() << "an address-space limit breaks the sanitizer";
    const std::string target = folderWithTarget("huge");
    fs::create_hard_link(target, path("huge/other.zn"));
    fs::resize_file(target, uintmax_t(4) << 30);
    const Bytes after = EncodeZNFile(Document("new", 3, 2));
    EXPECT_EQ(InChild([&] {
                  const rlimit cap{rlim_t(1) << 30, rlim_t(1) << 30};
                  return ::setrlimit(RLIMIT_AS, &cap) == 0 ? SaveOutcome(target, after) : "cannot limit memory";
              }),
              "saved");
    EXPECT_EQ(Contents(path("huge/other.zn")), after);
}

// --- Saves at once ------------------------------------------------------------

// Two saves released together into one hard-linked file, many times: both
// succeed, one after the other, and the file is one save's bytes whole.
TEST_F(SaveFaults, TwoSavesIntoOneHardLinkedFileNeverMix) {
    constexpr int kPairs = 100;
    const std::string target = folderWithTarget("twice"), other = path("twice/other.zn");
    fs::create_hard_link(target, other);
    const Bytes large(1 << 20, 'L'), small(64 << 10, 's');
    int mixed = 0;
    for (int pair = 0; pair < kPairs; ++pair) {
        int go[2];
        ASSERT_EQ(::pipe2(go, O_CLOEXEC), 0);
        pid_t savers[2];
        for (int i = 0; i < 2; ++i) {
            savers[i] = ::fork();
            ASSERT_GE(savers[i], 0);
            if (savers[i] == 0) {
                ::close(go[1]);
                char c;
                [[maybe_unused]] const ssize_t released = ::read(go[0], &c, 1);  // at the close below
                ::_exit(SaveOutcome(target, i ? small : large) == "saved" ? 0 : 1);
            }
        }
        ::close(go[0]);
        ::close(go[1]);
        for (const pid_t pid : savers) EXPECT_EQ(Reap(pid), 0) << "pair " << pair;
        const Bytes now = Contents(other);
        if (now != large && now != small) ++mixed;
    }
    EXPECT_EQ(mixed, 0);
}

// A program that may only read the file can hold a lock on it for as long
// as it has it open: an in-place save tries for its stated wait, then
// gives up and leaves the file whole. A save that waited for ever is
// stopped by the alarm, so a late one is told from a hung one.
TEST_F(SaveFaults, AFileAReaderHoldsALockOnIsLeftWholeWithinSeconds) {
    const std::string target = folderWithTarget("held");
    fs::create_hard_link(target, path("held/other.zn"));
    const Bytes before = Contents(target);
    const Fd reader(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    struct flock shared{};
    shared.l_type = F_RDLCK;
    ASSERT_EQ(::fcntl(reader.get(), F_SETLK, &shared), 0);

    const auto start = Clock::now();
    const std::string outcome = InChild([&] {
        ::alarm(60);
        return SaveOutcome(target, Document("new", 3, 2));
    });
    EXPECT_GE(Clock::now() - start, kSaveLockWait) << "it gave up before its time";
    EXPECT_EQ(outcome, "EWriteError: The file is in use by another program and was left as it was: " + target);
    EXPECT_EQ(Contents(target), before);
    EXPECT_EQ(Names(path("held")), (std::vector<std::string>{"other.zn", "target.zn"}));
}

// A shared folder's other files are their owners' business: root removes
// neither another user's leftover nor another user's copy of the file.
TEST_F(SaveFaults, RootRemovesNoOtherUsersFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant files of another user";
    const std::string target = folderWithTarget("shared");
    fs::create_hard_link(target, path("shared/other.zn"));
    const FileIdentity file = *IdentityOf(Fd(::open(path("shared").c_str(), O_RDONLY)).get(), "target.zn");
    const std::vector<std::string> others{RecoveryCopyName(file, 2, "target.zn"), ".zintra-save-other1"};
    const std::string mine = RecoveryCopyName(file, 1, "target.zn");
    for (const std::string& name : {mine, others[0], others[1]}) {
        std::ofstream(path("shared/") + name) << "left";
        fs::last_write_time(path("shared/") + name, fs::file_time_type::clock::now() - std::chrono::hours(2));
    }
    for (const std::string& name : others) ASSERT_EQ(::chown(path("shared/" + name).c_str(), kNobody, kNobody), 0);

    const SaveResult result = WriteFileAtomically(target, EncodeZNFile(Document("new", 3, 2)));
    EXPECT_EQ(result.removedCopies, std::vector<std::string>{path("shared/" + mine)});
    EXPECT_EQ(Names(path("shared")), (std::vector<std::string>{others[0], others[1], "other.zn", "target.zn"}));
}

// --- A killed save ------------------------------------------------------------

// Makes O_TMPFILE fail in this process as it does on a file system without
// it, so that saves take their named temporary file instead.
bool RefuseUnnamedFiles() {
    const bool installed = InstallFilter({
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),  // the flags
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    });
    return installed && ::open(".", O_TMPFILE | O_WRONLY, 0600) < 0 && errno == EOPNOTSUPP;
}

// Forks a child that saves the encoded file over target once it has said
// it is starting. Encoding touches no file, so it is done beforehand and
// every kill falls in the part of the save that does.
pid_t StartSave(const std::string& target, const Bytes& encoded, bool named, int& ready) {
    int signal[2];
    if (::pipe2(signal, O_CLOEXEC) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(signal[0]);
        if (named && !RefuseUnnamedFiles()) ::_exit(2);
        WriteAll(signal[1], "r");
        try {
            WriteFileAtomically(target, encoded);
        } catch (const EZintraError&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(signal[1]);
    if (pid < 0) {
        ::close(signal[0]);
        return -1;
    }
    ready = signal[0];
    return pid;
}

bool AwaitStart(int ready) {
    char c = 0;
    ssize_t n;
    while ((n = ::read(ready, &c, 1)) < 0 && errno == EINTR) {}
    ::close(ready);
    return n == 1;
}

// Run with the unnamed temporary file, and again with the named one a file
// system without O_TMPFILE leaves the save.
class KilledSave : public SaveFaults, public ::testing::WithParamInterface<bool> {};

TEST_P(KilledSave, LeavesTheOldFileOrTheWholeNewOneAndNoStrayFile) {
    constexpr int kFrames = 2000;
    constexpr int kKills = 50;
    const bool named = GetParam();
    if (named && InChild([] { return std::string(RefuseUnnamedFiles() ? "off" : "on"); }) != "off")
        GTEST_SKIP() << "cannot turn O_TMPFILE off here (no seccomp filters)";
    const std::string target = folderWithTarget("killed");
    const Bytes before = Contents(target);
    const Bytes after = EncodeZNFile(Document("new", kFrames, 5));

    // How long the save takes here, from its start to the child's end.
    Clock::duration whole{};
    for (int i = 0; i < 3; ++i) {
        int ready = -1;
        const pid_t pid = StartSave(target, after, named, ready);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(AwaitStart(ready));
        const auto start = Clock::now();
        const int status = Reap(pid);
        whole = std::max(whole, Clock::now() - start);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        ASSERT_EQ(Contents(target), after);
        WriteFileAtomically(target, before);
    }

    std::mt19937 random(20240601);
    std::uniform_int_distribution<int64_t> moment(0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
    int oldKept = 0, newWritten = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int ready = -1;
        const pid_t pid = StartSave(target, after, named, ready);
        ASSERT_GT(pid, 0);
        const bool started = AwaitStart(ready);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(pid, SIGKILL);  // not reaped yet, so pid cannot name another process
        Reap(pid);
        ASSERT_TRUE(started);

        const Bytes now = Contents(target);
        if (now == before) {
            ++oldKept;
        } else {
            ++newWritten;
            ASSERT_EQ(now, after) << "kill " << kill << " left a file that is neither the old nor the new one";
            TZNFile read;
            ReadBudget budget; read.Read(target, budget);
            ASSERT_EQ(read.FrameCount(), kFrames);
            WriteFileAtomically(target, before);
        }
    }
    // A killed save cannot tidy up after itself; what it leaves must be a
    // file the next save removes once it is old.
    const std::vector<std::string> left = Names(path("killed"));
    for (const std::string& name : left)
        if (name != "target.zn") {
            EXPECT_EQ(name.rfind(".zintra-save-", 0), 0u) << name;
            fs::last_write_time(path("killed/" + name), fs::file_time_type::clock::now() - std::chrono::hours(2));
        }
    WriteFileAtomically(target, before);
    EXPECT_EQ(Names(path("killed")), std::vector<std::string>{"target.zn"});
    RecordProperty("old_kept", oldKept);
    RecordProperty("new_written", newWritten);
    RecordProperty("temporary_files_left", int(left.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(Temporaries, KilledSave, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

#if defined(__x86_64__)
// Where this process dies: part-way through its first write into one file.
struct KillPoint {
    dev_t device;
    ino_t inode;
    double share;  // of that write's bytes that land first
    bool dies;     // else the disk fails: every later write into the file does
};
KillPoint g_killPoint;
bool g_diskFailed = false;

// Makes each pwrite trapped by the filter, through pwritev, which passes;
// at the kill point a share of it lands, then the process is killed or
// the disk fails.
void WriteOrDie(int, siginfo_t*, void* context) {
    greg_t* regs = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    const int fd = int(regs[REG_RDI]);
    iovec data{reinterpret_cast<void*>(regs[REG_RSI]), size_t(regs[REG_RDX])};
    const off_t offset = off_t(regs[REG_R10]);
    struct stat info{};
    if (::fstat(fd, &info) == 0 && info.st_dev == g_killPoint.device && info.st_ino == g_killPoint.inode) {
        if (g_diskFailed) {
            regs[REG_RAX] = -EIO;
            return;
        }
        data.iov_len = size_t(double(data.iov_len) * g_killPoint.share);
        if (g_killPoint.dies) {
            ::pwritev(fd, &data, 1, offset);
            ::kill(::getpid(), SIGKILL);
        }
        g_diskFailed = true;
    }
    const ssize_t n = ::pwritev(fd, &data, 1, offset);
    regs[REG_RAX] = n < 0 ? -errno : n;
}

bool KillAtFirstWriteInto(const std::string& file, double share, bool dies = true) {
    struct stat info{};
    if (::stat(file.c_str(), &info) != 0) return false;
    g_killPoint = {info.st_dev, info.st_ino, share, dies};
    struct sigaction action{};
    action.sa_sigaction = WriteOrDie;
    action.sa_flags = SA_SIGINFO;
    return ::sigaction(SIGSYS, &action, nullptr) == 0 &&
           InstallFilter({
               BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
               BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pwrite64, 0, 1),
               BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
               BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
           });
}
#endif

// A save killed in its first write into a hard-linked file leaves the
// file torn, and beside it a recovery copy holding the new bytes whole.
TEST_F(SaveFaults, ARewriteInPlaceKilledAtItsFirstWriteLeavesTheNewBytesWholeBesideTheFile) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "the kill point reads x86-64 registers";
#else
    constexpr int kKills = 20;
    const std::string target = folderWithTarget("torn");
    fs::create_hard_link(target, path("torn/other.zn"));
    const Bytes before = Contents(target);
    const Bytes after = EncodeZNFile(Document("new", 2000, 5));
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> share(0, 1);
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const double landed = share(random);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (KillAtFirstWriteInto(target, landed)) Outcome([&] { WriteFileAtomically(target, after); });
            ::_exit(2);
        }
        const int status = Reap(pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
        // The copy is found from the file's name, is the one extra file,
        // and the next good save removes it.
        const std::vector<std::string> copies = FindRecoveryCopies(target);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(Contents(copies[0]), after);
        EXPECT_EQ(Names(path("torn")).size(), 3u);
        EXPECT_EQ(fs::hard_link_count(target), 2u);
        EXPECT_EQ(WriteFileAtomically(target, before).removedCopies, copies);
        EXPECT_EQ(Names(path("torn")), (std::vector<std::string>{"other.zn", "target.zn"}));
    }
#endif
}

// A disk that fails part-way through the rewrite and then refuses the old
// bytes too leaves the file torn: the message says so and names the copy
// that holds the new bytes whole.
TEST_F(SaveFaults, ARewriteThatCannotPutTheOldBytesBackNamesItsRecoveryCopy) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "the failing disk reads x86-64 registers";
#else
    const std::string target = folderWithTarget("failing");
    fs::create_hard_link(target, path("failing/other.zn"));
    const Bytes after = EncodeZNFile(Document("new", 200, 5));
    const std::string outcome = InChild([&] {
        return KillAtFirstWriteInto(target, 0.5, false) ? SaveOutcome(target, after) : "no filter";
    });
    const std::vector<std::string> copies = FindRecoveryCopies(target);
    ASSERT_EQ(copies.size(), 1u) << outcome;
    EXPECT_EQ(outcome, "EWriteError: " + std::string(std::strerror(EIO)) + ": " + target +
                           ". The file may be damaged; its new content is whole in " + copies[0]);
    EXPECT_EQ(Contents(copies[0]), after);
#endif
}

}  // namespace
