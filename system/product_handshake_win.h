// The named kernel objects through which the installer and the product's
// service programs tell each other how far they are. The product's programs
// spell the same names (product/apps/handshake.h).
#pragma once

namespace lum {

// Held by the active-defense service while it runs (opened, never created).
constexpr const wchar_t* kActiveDefenseReadyMutex =
    L"Global\\080F7E03-AC50-4949-AACA-E79F82D3099F__";
// Created by the installer; the protected service signals it when its
// "install" start has finished.
constexpr const wchar_t* kProtectedServiceFinishedEvent =
    L"Global\\5D605A2B-ACDE-49cd-9642-7B268923ACD9__";
// Held by a running protected service, signalled when it stops.
constexpr const wchar_t* kProtectedServiceStoppedEvent =
    L"Global\\72B4B28B-9DF6-4e69-9E00-F1EE51001ADD__";

// Each of them is created with SYSTEM and the Administrators alone as owner
// and in the DACL, by whichever side makes it; the other side uses an
// existing one only when its owner is SYSTEM or the Administrators
// (system/named_object_rights_win.h).

// The readiness mutex exists and is owned by SYSTEM or the Administrators.
// One that cannot be opened, or that someone else made, is not readiness
// (the refusal is logged once).
bool IsActiveDefenseReady();

}  // namespace lum
