// dmctl vcard ...: the user's identity card, seven texts.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "Command.h"
#include "DataManager.h"
#include "Fields.h"

namespace dmctl {
namespace {

using CardField = WCHAR (KS_VCARD::*)[256];

// Each field: its key in the output, its option of `vcard set` and where it
// lives in the record.
struct CardText {
  const char* key;
  const char* option;
  CardField field;
};

constexpr CardText kCardTexts[] = {
    {"nickname", "--nickname", &KS_VCARD::Nickname},
    {"full_name", "--full-name", &KS_VCARD::FullName},
    {"location", "--location", &KS_VCARD::Location},
    {"email", "--email", &KS_VCARD::Email},
    {"website", "--website", &KS_VCARD::Website},
    {"phone_mobile", "--phone-mobile", &KS_VCARD::PhoneMobile},
    {"skype_id", "--skype-id", &KS_VCARD::SkypeID},
};

void ShowCard(Output* out, const KS_VCARD& card) {
  for (const CardText& t : kCardTexts) out->Text(t.key, FromField(card.*t.field));
}

int VcardGet(const Invocation& in) {
  if (!in.args.empty()) return kExitUsage;
  KS_VCARD card = {};
  if (!GetvCard(&card)) return kExitFailed;
  ShowCard(in.out, card);
  return kExitSucceeded;
}

// SetvCard writes all seven fields: the card is read first, and only the
// fields named on the command line change (an empty value clears one).
int VcardSet(const Invocation& in) {
  if (in.args.empty() || in.args.size() % 2 != 0) return kExitUsage;
  KS_VCARD changes = {};
  std::vector<CardField> named;
  for (size_t i = 0; i < in.args.size(); i += 2) {
    const CardText* text = nullptr;
    for (const CardText& t : kCardTexts) {
      if (in.args[i] == t.option) text = &t;
    }
    if (text == nullptr || !ToField(in.args[i + 1], changes.*text->field, text->key)) {
      return kExitUsage;
    }
    named.push_back(text->field);
  }
  KS_VCARD card = {};
  if (!GetvCard(&card)) {
    std::fprintf(stderr, "dmctl: the identity card could not be read; nothing was written\n");
    return Report(in.out, "written", 0);
  }
  for (const CardField field : named) {
    std::copy(std::begin(changes.*field), std::end(changes.*field), std::begin(card.*field));
  }
  const int status = Report(in.out, "written", SetvCard(&card));
  ShowCard(in.out, card);
  return status;
}

}  // namespace

std::vector<Command> VcardCommands() {
  std::string options;
  for (const CardText& t : kCardTexts) {
    options += std::string(options.empty() ? "" : " ") + "[" + t.option + " <text>]";
  }
  return {
      {{"vcard", "get"}, "", "show the identity card", &VcardGet},
      {{"vcard", "set"}, options, "change some fields of the identity card, keeping the others",
       &VcardSet},
  };
}

}  // namespace dmctl
