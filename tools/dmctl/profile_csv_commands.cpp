// dmctl profile import / export: web profiles from and to the password CSV
// that browsers export (csv.h), with the columns name, url, username and
// password.
//
// import files each row as a web profile under the host of its url, and
// never replaces a stored profile: a row whose user already has a profile
// under that host is skipped, whatever its password.  A malformed row is
// reported on standard error with its line number and the rest is imported.
// Passwords are never printed; export writes them only with
// --with-passwords, into a file only its owner can read.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"
#include "PrivateFile.h"
#include "Profiles.h"
#include "csv.h"

namespace dmctl {
namespace {

// A text that may hold passwords, wiped when it goes away.
struct SecretText {
  std::string text;
  ~SecretText() { Wipe(text.data(), text.size()); }
};

void WipeFields(std::vector<std::string>* fields) {
  for (std::string& f : *fields) Wipe(f.data(), f.size());
}

// The host of a url, lower-case: without its scheme, user, port and path.
std::string HostOf(const std::string& url) {
  std::string host = url;
  const size_t scheme = host.find("://");
  if (scheme != std::string::npos) host.erase(0, scheme + 3);
  host.resize(std::min(host.size(), host.find_first_of("/?#")));
  const size_t at = host.rfind('@');
  if (at != std::string::npos) host.erase(0, at + 1);
  const size_t port = host.find(':', host.empty() || host[0] != '[' ? 0 : host.find(']'));
  if (port != std::string::npos) host.resize(port);
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return host;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  Wipe(buffer, sizeof buffer);
  return ok;
}

bool ErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

// "row 1200 of 5000", rewritten in place on standard error when it is a
// terminal; nothing otherwise.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), shown_(ErrorIsTerminal() && total > 0) {}
  ~Progress() { Clear(); }

  void Show(size_t done) {
    if (shown_ && (done % 50 == 0 || done == total_)) {
      std::fprintf(stderr, "\rrow %zu of %zu", done, total_);
      std::fflush(stderr);
      dirty_ = true;
    }
  }
  // Before another line goes to standard error, and at the end.
  void Clear() {
    if (dirty_) std::fprintf(stderr, "\r%40s\r", "");
    dirty_ = false;
  }

 private:
  size_t total_;
  bool shown_;
  bool dirty_ = false;
};

// Where the columns are, from the header row: false without url, username
// and password.
struct Columns {
  size_t url = 0, user = 0, password = 0, count = 0;
};

bool FindColumns(const csv::Row& header, Columns* columns) {
  const auto find = [&header](const char* wanted, size_t* at) {
    for (size_t i = 0; i < header.fields.size(); ++i) {
      std::string name = header.fields[i];
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name == wanted) {
        *at = i;
        return true;
      }
    }
    return false;
  };
  columns->count = header.fields.size();
  return header.error.empty() && find("url", &columns->url) && find("username", &columns->user) &&
         find("password", &columns->password);
}

struct Counts {
  int64_t imported = 0, skipped = 0, failed = 0, malformed = 0;
};

// The domains and users filed (or to be filed, on a dry run) so far, in order.
struct Plan {
  std::set<std::pair<std::string, std::string>> seen;
  std::vector<std::pair<std::string, std::string>> rows;
  bool Add(const std::string& domain, const std::string& user) {
    if (!seen.insert({domain, user}).second) return false;
    rows.emplace_back(domain, user);
    return true;
  }
};

// Files one row, or plans it on a dry run; problems go to standard error.
void ImportRow(const csv::Row& row, const Columns& columns, bool dryRun, Plan* plan,
               Counts* counts, Progress* progress) {
  const auto malformed = [&](const std::string& why) {
    progress->Clear();
    std::fprintf(stderr, "dmctl: line %zu: %s; not imported\n", row.line, why.c_str());
    ++counts->malformed;
  };
  if (!row.error.empty()) return malformed(row.error);
  if (row.fields.size() != columns.count) {
    return malformed(std::to_string(row.fields.size()) + " fields where the header has " +
                     std::to_string(columns.count));
  }
  const std::string host = HostOf(row.fields[columns.url]);
  const std::string& user = row.fields[columns.user];
  KS_DOMAIN domain = {};
  struct Wiped {
    KS_PROFILE record = {};
    ~Wiped() { Wipe(&record, sizeof record); }
  } profile;
  KS_PROFILE& record = profile.record;
  record.ProfileType = KS_PROFILE_WEB;
  record.OtpMode = KS_OTP_MODE_UNSET;
  if (host.empty()) return malformed("no host in the url");
  if (user.empty()) return malformed("no user name");
  if (!ToField(host, domain.Domain, nullptr) || !ToField(user, record.UserName, nullptr) ||
      !ToField(row.fields[columns.password], record.Password, nullptr)) {
    return malformed("a field that is not UTF-8 or is longer than 255 characters");
  }
  if (IsProfileExist(KS_PROFILE_WEB, &domain, &record) || !plan->Add(host, user)) {
    ++counts->skipped;
  } else if (dryRun) {
    ++counts->imported;
  } else if (SetSingleProfile(KS_PROFILE_WEB, &domain, &record)) {
    ++counts->imported;
  } else {
    progress->Clear();
    std::fprintf(stderr, "dmctl: line %zu: the store refused the profile of %s at %s\n", row.line,
                 user.c_str(), host.c_str());
    ++counts->failed;
  }
}

int Import(const Invocation& in) {
  const bool dryRun = in.args.size() == 2 && in.args[1] == "--dry-run";
  if ((in.args.size() != 1 && !dryRun) || in.args[0].empty()) return kExitUsage;
  const std::string& path = in.args[0];
  SecretText file;
  if (!ReadWholeFile(path, &file.text)) {
    std::fprintf(stderr, "dmctl: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    in.out->Text("cannot_read", path);
    return kExitFailed;
  }
  csv::Reader reader(file.text);
  std::vector<csv::Row> rows;
  csv::Row row;
  while (reader.Next(&row)) rows.push_back(std::move(row));
  Columns columns;
  if (rows.empty() || !FindColumns(rows.front(), &columns)) {
    std::fprintf(stderr, "dmctl: %s: the first line must name the columns url, username and "
                 "password\n", path.c_str());
    in.out->Text("cannot_read", path);
    for (csv::Row& r : rows) WipeFields(&r.fields);
    return kExitFailed;
  }

  Counts counts;
  Plan plan;
  {
    Progress progress(rows.size() - 1);
    for (size_t i = 1; i < rows.size(); ++i) {
      ImportRow(rows[i], columns, dryRun, &plan, &counts, &progress);
      WipeFields(&rows[i].fields);
      progress.Show(i);
    }
  }
  in.out->Text("file", path);
  in.out->Flag("dry_run", dryRun);
  in.out->Number(dryRun ? "to_import" : "imported", counts.imported);
  in.out->Number("skipped", counts.skipped);
  if (!dryRun) in.out->Number("failed", counts.failed);
  in.out->Number("malformed", counts.malformed);
  if (dryRun) {
    in.out->List("planned");
    for (const auto& [domain, user] : plan.rows) {
      Record& item = in.out->Item("planned");
      item.Text("domain", domain);
      item.Text("user", user);
    }
  }
  return counts.failed + counts.malformed == 0 ? kExitSucceeded : kExitFailed;
}

int Export(const Invocation& in) {
  bool passwords = false, force = false;
  std::string path;
  for (const std::string& arg : in.args) {
    if (arg == "--with-passwords") {
      passwords = true;
    } else if (arg == "--force") {
      force = true;
    } else if (path.empty() && !arg.empty() && arg[0] != '-') {
      path = arg;
    } else {
      return kExitUsage;
    }
  }
  if (path.empty()) return kExitUsage;

  // GetDomain fails on a store without web domains: then there is nothing
  // to write but the header.
  DWORD count = 0;
  std::vector<KS_DOMAIN> domains;
  if (GetDomain(KS_PROFILE_WEB, nullptr, 0, &count)) {
    domains.resize(count);
    if (!GetDomain(KS_PROFILE_WEB, domains.data(), count, &count)) count = 0;
    domains.resize(std::min<size_t>(count, domains.size()));
  }
  PrivateFile file;
  if (!OpenExportFile(in.out, path, force, &file)) return kExitFailed;
  SecretText header{csv::FormatRow({"name", "url", "username", "password"})};
  file.Write(header.text.data(), header.text.size());
  int64_t written = 0;
  bool read = true;
  for (KS_DOMAIN& domain : domains) {
    SecretProfiles profiles;
    if (!ReadProfiles(KS_PROFILE_WEB, &domain, passwords ? &GetProfile : &QueryProfile,
                      &profiles)) {
      read = false;
      break;
    }
    const std::string name = FromField(domain.Domain);
    for (const KS_PROFILE& p : profiles.records) {
      std::vector<std::string> fields = {name, "https://" + name + "/", FromField(p.UserName),
                                         passwords ? FromField(p.Password) : std::string()};
      SecretText line{csv::FormatRow(fields)};
      WipeFields(&fields);
      file.Write(line.text.data(), line.text.size());
      ++written;
    }
  }
  // A failed export leaves no file behind, and a replaced file as it was.
  const bool finished = read && file.Finish();
  in.out->Text("export", path);
  in.out->Number("profiles", written);
  in.out->Flag("passwords", passwords);
  if (!finished) {
    std::fprintf(stderr, "dmctl: %s\n",
                 read ? file.error().c_str() : "cannot read the profiles of a web domain");
    return kExitFailed;
  }
  return kExitSucceeded;
}

}  // namespace

std::vector<Command> ProfileCsvCommands() {
  return {
      {{"profile", "import"},
       "<file.csv> [--dry-run]",
       "file the rows of a browser's password CSV as web profiles; --dry-run shows what it "
       "would add",
       &Import},
      {{"profile", "export"},
       "<file.csv> [--with-passwords] [--force]",
       "write the web profiles as a password CSV, passwords only with --with-passwords",
       &Export},
  };
}

}  // namespace dmctl
