// The account records of the installed product and their removal when its
// account link no longer matches (install/account_link.h decides that).
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kAccountLinkKey = L"SOFTWARE\\LumBastion\\LumConnect";
constexpr const wchar_t* kAccountProfileKey = L"SOFTWARE\\LumBastion\\UserProfile";

// The account's files in the user's product folder
// ("<application data>\LumBastion\LumConnect\"); empty when the user's
// application data folder is unknown.
std::wstring AccountActivityLogPath();
std::wstring ProfilePicturePath();

// Deletes the profile picture (also on its own, when an old theme is reset).
void DeleteProfilePicture();

// Deletes the account's activity log and profile picture and the keys HKCU
// UserProfile and LumConnect; nothing else. The files are deleted only when no
// folder on their way is a link (the user may replace any of them with one).
void RemoveAccountRecords();

}  // namespace lum
