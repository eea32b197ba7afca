// dmctl store ...: where the store is, whether DataManager reaches it, what
// it holds, whether it is sound, and its contents for support.  They use
// the administration interface of the store DataManager loaded, which both
// builds of the store export and which never hands out a secret.
//
// `store simulate ...` writes, through the store's development interface,
// what the fingerprint sensor and the one-time-password service would leave
// in the store, so that the bio and vip commands can be tried on a machine
// that has neither.  Only the development store (libKeelAPIDev.so,
// KeelAPIDev.dll, put in DataManager's store folder under the store's name)
// has that interface, and dmctl refuses to simulate on a production store.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Command.h"
#include "Fields.h"
#include "LoadedStore.h"
#include "PrivateFile.h"
#include "SecretInput.h"

namespace dmctl {
namespace {

// The database file of the store, or an empty text for a store in memory.
std::string StoreFile(const StoreAdmin& admin) {
  int32_t size = 0;
  if (admin.store_file(nullptr, 0, &size) != KA_OK || size <= 0) return "";
  std::string file(static_cast<size_t>(size), '\0');
  if (admin.store_file(file.data(), size, &size) != KA_OK) return "";
  file.resize(static_cast<size_t>(size) - 1);
  return file;
}

void ShowStoreFile(const StoreAdmin& admin, Output* out) {
  const std::string file = StoreFile(admin);
  out->Text("store_file", file.empty() ? "(kept in memory, or no usable home folder)" : file);
  if (!file.empty()) out->Text("key_file", file + ".key");
}

int StoreInfo(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  StoreAdmin admin;
  const bool reached = FindStoreAdmin("store info", &admin);
  const char* common = std::getenv("CommonProgramFiles");
  in.out->Text("common_program_files", common != nullptr && *common != '\0'
                                           ? common
                                           : "(not set: the folder fixed at build time)");
  const std::string loaded = LoadedStorePath();
  in.out->Text("store_library", loaded.empty() ? "(not loaded)" : loaded);
  in.out->Flag("store_reached", reached);
  if (!reached) return kExitFailed;
  ShowStoreFile(admin, in.out);
  return kExitSucceeded;
}

int StoreFileCommand(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  StoreAdmin admin;
  if (!FindStoreAdmin("store file", &admin)) return kExitFailed;
  ShowStoreFile(admin, in.out);
  return kExitSucceeded;
}

int StoreCounts(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  StoreAdmin admin;
  if (!FindStoreAdmin("store counts", &admin)) return kExitFailed;
  static constexpr struct {
    KeelObjectKind kind;
    const char* name;
  } kKinds[] = {{KEEL_CONTEXT, "contexts"}, {KEEL_APP, "apps"},     {KEEL_IDENTITY, "identities"},
                {KEEL_CARD, "cards"},       {KEEL_MACRO, "macros"}, {KEEL_SHORTCUT, "shortcuts"}};
  for (const auto& kind : kKinds) {
    int64_t count = 0;
    const KA_STATUS status = admin.count_objects(kind.kind, &count);
    if (status != KA_OK) {
      in.out->Number("store_error", status);
      return kExitFailed;
    }
    in.out->Number(kind.name, count);
  }
  return kExitSucceeded;
}

int StoreCheck(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  StoreAdmin admin;
  if (!FindStoreAdmin("store check", &admin)) return kExitFailed;
  std::vector<std::string> lines;
  const KA_STATUS status = admin.check(
      [](void* user, const char* line) {
        static_cast<std::vector<std::string>*>(user)->push_back(line);
      },
      &lines);
  ShowStoreFile(admin, in.out);
  in.out->Flag("sound", status == KA_OK);
  in.out->List("problems");
  in.out->List("repaired");
  const size_t prefix = std::strlen(KEEL_CHECK_REPAIRED);
  for (const std::string& line : lines) {
    if (line.compare(0, prefix, KEEL_CHECK_REPAIRED) == 0) {
      in.out->Entry("repaired", line.substr(prefix));
    } else {
      in.out->Entry("problems", line);
    }
  }
  return status == KA_OK ? kExitSucceeded : kExitFailed;
}

// Writes the store's contents, secrets withheld, as JSON into a file that
// only the user can read, never over an existing file unless --force.
int StoreExport(const Invocation& in) {
  const bool force = in.args.size() == 2 && in.args[1] == "--force";
  if ((in.args.size() != 1 && !force) || in.args[0].empty()) return kExitUsage;
  const std::string& path = in.args[0];
  StoreAdmin admin;
  if (!FindStoreAdmin("store export", &admin)) return kExitFailed;
  PrivateFile file;
  if (!OpenExportFile(in.out, path, force, &file)) return kExitFailed;
  const KA_STATUS status = admin.export_all(
      0,
      [](void* user, const char* text) {
        static_cast<PrivateFile*>(user)->Write(text, std::strlen(text));
      },
      &file);
  // A failed export leaves no file behind, and a replaced file as it was.
  const bool written = status == KA_OK && file.Finish();
  in.out->Text("export", path);
  in.out->Flag("secrets_withheld", true);
  if (!written) {
    if (status != KA_OK) {
      in.out->Number("store_error", status);
    } else {
      std::fprintf(stderr, "dmctl: %s\n", file.error().c_str());
    }
    return kExitFailed;
  }
  return kExitSucceeded;
}

// Where the services keep their answers: the enrolled-finger count on the
// store context, the credential ID and the two one-time passwords on the
// identity.
constexpr int32_t kEnrollmentsProperty = 4;
constexpr int32_t kCredentialIdProperty = 1001;
constexpr int32_t kFirstPasswordProperty = 21;
constexpr int32_t kSecondPasswordProperty = 22;

// Writes one property of a store object (`object` is an id, or the store's
// error in its place); false, with the store's status shown, on failure.
bool Simulate(const DevelopmentStore& dev, Output* out, int64_t object, int32_t property,
              int32_t attribute, const void* value, int32_t size) {
  const int64_t status =
      object < 0 ? object : dev.set_property(object, property, attribute, value, size);
  if (status == KA_OK) return true;
  out->Number("store_error", status);
  return false;
}

int SimulateEnrollments(const Invocation& in) {
  unsigned long count = 0;
  if (in.args.size() != 1 || !ParseDword(in.args[0], &count)) return kExitUsage;
  const uint32_t value = static_cast<uint32_t>(count);
  DevelopmentStore dev;
  if (!FindDevelopmentStore("store simulate", &dev)) return kExitFailed;
  if (!Simulate(dev, in.out, dev.context_object(), kEnrollmentsProperty, KA_ATTR_PLAIN, &value,
                sizeof value)) {
    return kExitFailed;
  }
  in.out->Number("enrollments", value);
  return kExitSucceeded;
}

// The two one-time passwords, wiped when they go away.
struct OneTimePasswords {
  std::string first, second;
  ~OneTimePasswords() {
    Wipe(first.data(), first.size());
    Wipe(second.data(), second.size());
  }
};

int SimulateVip(const Invocation& in) {
  std::string cid;
  bool withCid = false, withOtp = false;
  for (size_t i = 0; i < in.args.size(); ++i) {
    if (in.args[i] == "--cid" && !withCid && i + 1 < in.args.size()) {
      cid = in.args[++i];
      withCid = true;
    } else if (in.args[i] == "--otp" && !withOtp) {
      withOtp = true;
    } else {
      return kExitUsage;
    }
  }
  if (!withCid && !withOtp) return kExitUsage;
  std::u16string ignored;
  if (withCid && !ks::text::Utf8ToUtf16<char16_t>(cid, &ignored)) {
    std::fprintf(stderr, "dmctl: the credential ID must be UTF-8\n");
    return kExitUsage;
  }
  OneTimePasswords otp;
  if (withOtp && (!ReadSecretLine("first one-time password", &otp.first) ||
                  !ReadSecretLine("second one-time password", &otp.second))) {
    std::fprintf(stderr, "dmctl: two lines expected on standard input\n");
    return kExitUsage;
  }

  DevelopmentStore dev;
  if (!FindDevelopmentStore("store simulate", &dev)) return kExitFailed;
  const int64_t identity = dev.identity_object();
  if (withCid) {
    if (!Simulate(dev, in.out, identity, kCredentialIdProperty, KA_ATTR_PLAIN, cid.c_str(), -1)) {
      return kExitFailed;
    }
    in.out->Text("credential_id", cid);
  }
  if (withOtp) {
    const bool written = Simulate(dev, in.out, identity, kFirstPasswordProperty, KA_ATTR_SECRET,
                                  otp.first.c_str(), -1) &&
                         Simulate(dev, in.out, identity, kSecondPasswordProperty,
                                  KA_ATTR_SECRET, otp.second.c_str(), -1);
    in.out->Flag("otp_written", written);
    if (!written) return kExitFailed;
  }
  return kExitSucceeded;
}

}  // namespace

bool OpenExportFile(Output* out, const std::string& path, bool force, PrivateFile* file) {
  const PrivateFile::Opened opened = file->Open(path, force);
  if (opened == PrivateFile::Opened::kOpen) return true;
  out->Text("cannot_write", path);
  if (opened == PrivateFile::Opened::kExists) {
    out->Flag("exists", true);
    std::fprintf(stderr, "dmctl: %s exists; give --force to replace it\n", path.c_str());
  } else {
    std::fprintf(stderr, "dmctl: %s\n", file->error().c_str());
  }
  return false;
}

std::vector<Command> StoreCommands() {
  return {
      {{"store", "info"}, "", "show which store library DataManager loaded, and its file",
       &StoreInfo},
      {{"store", "file"}, "", "show the store's database file and key file", &StoreFileCommand},
      {{"store", "counts"}, "", "count the store's objects of each kind", &StoreCounts},
      {{"store", "check"}, "", "check the store's integrity, its key and its secrets",
       &StoreCheck},
      {{"store", "export"},
       "<file> [--force]",
       "write the store's contents as JSON, secrets withheld, to a new file only you can read "
       "(--force replaces an existing one)",
       &StoreExport},
      {{"store", "simulate", "enrollments"},
       "<count>",
       "store the sensor's enrolled-finger count (above 10 is an illegal answer; "
       "development store only)",
       &SimulateEnrollments},
      {{"store", "simulate", "vip"},
       "[--cid <id>] [--otp]",
       "store a credential ID, and with --otp two one-time passwords read from standard input "
       "(development store only)",
       &SimulateVip},
  };
}

}  // namespace dmctl
