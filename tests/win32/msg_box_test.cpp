// The skinned message box run modally for real: its lines, layout, button
// sets and looks are checked from inside its own message loop, and it is
// answered with real mouse messages at the buttons' positions.
#include "ui/msg_box_win.h"

#include <gtest/gtest.h>

#include <functional>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {
namespace {

constexpr UINT kProbe = WM_APP + 7;

// A message box that, once shown, hands itself to `probe` inside its loop.
class ProbedBox : public CMsgBoxDialog {
 public:
  using CMsgBoxDialog::CMsgBoxDialog;
  std::function<void(ProbedBox&)> probe;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    if (message == kProbe) {
      if (probe) probe(*this);
      return TRUE;
    }
    const BOOL handled = CMsgBoxDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ::PostMessageW(window, kProbe, 0, 0);
    return handled;
  }
  void ClickAt(const CSomWnd& control) {
    const int x = (control.Rect().left + control.Rect().right) / 2;
    const int y = (control.Rect().top + control.Rect().bottom) / 2;
    ::SendMessageW(Window(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::SendMessageW(Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageW(Window(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Click(int index) { ClickAt(Button(index)); }
};

int CaptionWidth(const std::wstring& text) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, SkinResources::Get().Font(2));
  SIZE size = {0, 0};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return size.cx;
}

class MsgBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    SetButtonCaptions(L"Lum Bastion", {L"OK", L"Cancel", L"Abort", L"Retry", L"Ignore", L"Yes",
                                       L"No", L"", L"", L"Try again later", L"Continue anyway"});
  }
};

TEST_F(MsgBoxTest, LinesFollowTheLineMarksAndOneLineIsCentredBesideTheIcon) {
  const DpiScale& dpi = Dpi();
  ProbedBox three(0, L"First line\\nSecond {&#color=0xff}line{&#/color}\\nThird line", MB_OK, IDOK);
  three.probe = [&](ProbedBox& box) {
    ASSERT_EQ(3u, box.Lines().size());
    EXPECT_EQ(2u, box.Lines()[1]->Runs().size());
    const int x = dpi.Scale(box.HasPicture() ? 110 : 30);
    int y = dpi.Scale(62);
    for (CSomTextWnd* line : box.Lines()) {
      EXPECT_EQ(x, line->Rect().left);
      EXPECT_EQ(y, line->Rect().top);
      EXPECT_GT(line->Width(), 0);
      y += line->Height() + dpi.Scale(5);
    }
    RECT client;
    ::GetClientRect(box.Window(), &client);
    EXPECT_EQ(dpi.Scale(520), client.right);
    EXPECT_EQ(dpi.Scale(200), client.bottom);
    // OK set: only the rightmost button, 20 from the right and bottom edges.
    EXPECT_FALSE(box.Button(0).IsVisible());
    EXPECT_FALSE(box.Button(1).IsVisible());
    EXPECT_EQ(client.right - dpi.Scale(20), box.Button(2).Rect().right);
    EXPECT_EQ(client.bottom - dpi.Scale(20), box.Button(2).Rect().bottom);
    EXPECT_EQ(L"OK", box.Button(2).Text());
    box.Click(2);
  };
  EXPECT_EQ(IDOK, three.DoModal(nullptr));

  ProbedBox one(0, L"Only one line", MB_OK, IDOK);
  one.probe = [&](ProbedBox& box) {
    ASSERT_EQ(1u, box.Lines().size());
    const CSomTextWnd& line = *box.Lines()[0];
    EXPECT_EQ(dpi.Scale(62) + (dpi.Scale(50) - line.Height()) / 2, line.Rect().top);
    box.Click(2);
  };
  EXPECT_EQ(IDOK, one.DoModal(nullptr));
}

TEST_F(MsgBoxTest, EveryButtonSetGivesItsIdsFromLeftToRight) {
  const int expected[7][3] = {{0, 0, 1}, {0, 1, 2}, {3, 4, 5}, {6, 7, 2},
                              {0, 6, 7}, {0, 4, 2}, {2, 10, 11}};
  const DpiScale& dpi = Dpi();
  for (UINT set = 0; set < 7; ++set) {
    for (int pick = 0; pick < 3; ++pick) {
      if (expected[set][pick] == 0) continue;
      ProbedBox dialog(0, L"Which one?", set, expected[set][2]);
      dialog.probe = [&](ProbedBox& box) {
        int right = -1;
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(static_cast<UINT>(expected[set][i]), box.Button(i).Id()) << "set " << set;
          EXPECT_EQ(expected[set][i] != 0, box.Button(i).IsVisible());
          if (!box.Button(i).IsVisible()) continue;
          EXPECT_FALSE(box.Button(i).Text().empty());
          // The caption fits in the font it is drawn with, with room to spare.
          EXPECT_GE(box.Button(i).Width(),
                    CaptionWidth(box.Button(i).Text()) + dpi.Scale(20));
          if (right >= 0) {
            EXPECT_EQ(right + dpi.Scale(10), box.Button(i).Rect().left);
          }
          right = box.Button(i).Rect().right;
        }
        box.Click(pick);
      };
      EXPECT_EQ(expected[set][pick], dialog.DoModal(nullptr)) << "set " << set << " button " << pick;
    }
  }
}

TEST_F(MsgBoxTest, DefaultButtonLooksPrimaryOnlyWhenItIsShown) {
  SkinResources& skin = SkinResources::Get();
  CSomBitmap* primary = &skin.Image(SkinResources::kDefaultButton);
  CSomBitmap* secondary = &skin.Image(SkinResources::kSecondaryButton);
  ProbedBox withDefault(0, L"Restart now?", MB_OKCANCEL, IDCANCEL);
  withDefault.probe = [&](ProbedBox& box) {
    EXPECT_EQ(secondary, box.Button(1).Background());
    EXPECT_EQ(CMsgBoxDialog::kSecondaryTextColor, box.Button(1).TextColor());
    EXPECT_EQ(primary, box.Button(2).Background());
    EXPECT_EQ(CMsgBoxDialog::kPrimaryTextColor, box.Button(2).TextColor());
    ::SendMessageW(box.Window(), WM_COMMAND, IDOK, 0);  // Enter picks the default
  };
  EXPECT_EQ(IDCANCEL, withDefault.DoModal(nullptr));

  ProbedBox noDefault(0, L"Yes or no?", MB_YESNO, IDCANCEL);
  noDefault.probe = [&](ProbedBox& box) {
    for (int i = 1; i < 3; ++i) {
      EXPECT_EQ(secondary, box.Button(i).Background());
      EXPECT_EQ(CMsgBoxDialog::kSecondaryTextColor, box.Button(i).TextColor());
    }
    box.ClickAt(box.CloseButton());  // the close button answers 2
  };
  EXPECT_EQ(IDCANCEL, noDefault.DoModal(nullptr));
}

}  // namespace
}  // namespace lum
