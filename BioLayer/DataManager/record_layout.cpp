// The records cross the interface between separately built programs, so
// their layout is part of the interface: checked here at compile time, on
// every platform.
#include <cstddef>

#include "DataManager.h"

#define DM_CHECK_OFFSET(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field " moved")

static_assert(sizeof(KS_DOMAIN) == 512);

static_assert(sizeof(KS_PROFILE) == 5640);
DM_CHECK_OFFSET(KS_PROFILE, ProfileType, 0);
DM_CHECK_OFFSET(KS_PROFILE, UserName, 4);
DM_CHECK_OFFSET(KS_PROFILE, Password, 516);
DM_CHECK_OFFSET(KS_PROFILE, Text3101, 1028);
DM_CHECK_OFFSET(KS_PROFILE, Text105, 1540);
DM_CHECK_OFFSET(KS_PROFILE, OtpMode, 5636);

static_assert(sizeof(KS_SETTING) == 20);
DM_CHECK_OFFSET(KS_SETTING, Type, 0);
DM_CHECK_OFFSET(KS_SETTING, Fus, 4);
DM_CHECK_OFFSET(KS_SETTING, QL, 8);
DM_CHECK_OFFSET(KS_SETTING, Nav, 12);
DM_CHECK_OFFSET(KS_SETTING, TTL, 16);

static_assert(sizeof(KS_QL) == 8196);
DM_CHECK_OFFSET(KS_QL, Type, 0);
DM_CHECK_OFFSET(KS_QL, Url, 4);
DM_CHECK_OFFSET(KS_QL, Path, 4);
DM_CHECK_OFFSET(KS_QL, ActionType, 4);
DM_CHECK_OFFSET(KS_QL, LoginURL, 4100);

static_assert(sizeof(KS_SHORTCUT) == 12816);
DM_CHECK_OFFSET(KS_SHORTCUT, Type, 0);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.Url, 4);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.FullAddr, 4100);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.IconRef, 8196);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.Tip, 12292);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.IsShowed, 12804);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.IsPreloaded, 12808);
DM_CHECK_OFFSET(KS_SHORTCUT, Web.Category, 12812);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.Path, 4);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.IconRef, 4100);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.Tip, 8196);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.IsShowed, 8708);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.IsPreloaded, 8712);
DM_CHECK_OFFSET(KS_SHORTCUT, Local.Category, 8716);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.ActionType, 4);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.IconRef, 8);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.Tip, 4104);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.IsShowed, 4616);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.IsPreloaded, 4620);
DM_CHECK_OFFSET(KS_SHORTCUT, Action.Category, 4624);

static_assert(sizeof(KS_VCARD) == 3584);
DM_CHECK_OFFSET(KS_VCARD, Nickname, 0);
DM_CHECK_OFFSET(KS_VCARD, FullName, 512);
DM_CHECK_OFFSET(KS_VCARD, Location, 1024);
DM_CHECK_OFFSET(KS_VCARD, Email, 1536);
DM_CHECK_OFFSET(KS_VCARD, Website, 2048);
DM_CHECK_OFFSET(KS_VCARD, PhoneMobile, 2560);
DM_CHECK_OFFSET(KS_VCARD, SkypeID, 3072);
