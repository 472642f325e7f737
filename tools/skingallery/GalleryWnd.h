#pragma once
// The gallery: one skinned window with every control of the skin, each from its own bitmap, and
// a line at the bottom naming the last event, so hover, press and drag can be watched.
#include <array>
#include <vector>

#include "engine/ClipInfo.h"

#include "skin/SkinWnd.h"
#include "skin/controls/SkinButton.h"
#include "skin/controls/SkinCheck.h"
#include "skin/controls/SkinRadio.h"
#include "skin/controls/SkinSizer.h"
#include "skin/controls/SkinSlider.h"
#include "skin/controls/SkinString.h"
#include "skin/list/SkinList.h"
#include "skin/screen/SkinScreen.h"

class CGalleryWnd : public CSkinWnd, public CObserver<CGalleryWnd> {
    Q_OBJECT
public:
    CGalleryWnd();

    bool GetFramePiece(int index, const CMemDC2*& skin, QRect& source) const override;

protected:
    // The frame, then a strip of the full-screen toolbar's background under the view radios.
    void PaintFrame(QPainter& painter) override;

private:
    CSkinButton& AddButton(int x, int y, int width, int height, int bitmapId, int frames,
                           const wchar_t* tooltip);
    CSkinString& AddLabel(int x, int y, int width, int height, const wchar_t* text);
    void Watch(CSkinCtrl& control);

    void OnClicked(ISubject* sender, EventArg x, EventArg y);
    void OnSliderChanged(ISubject* sender, EventArg value, EventArg span);
    void OnSliderHovered(ISubject* sender, EventArg value, EventArg span);
    void OnSizerMoved(ISubject* sender, EventArg position, EventArg pressX);
    void OnBoxChecked(ISubject* sender, EventArg checked, EventArg unused);
    void Say(const std::wstring& text);

    const CMemDC2* m_frame;   // bitmap 20026, from the window's cache
    const CMemDC2* m_toolbar; // bitmap 132
    std::vector<std::unique_ptr<CSkinButton>> m_buttons;
    std::vector<std::unique_ptr<CSkinString>> m_labels;
    CSkinCheck m_mute;
    CSkinCheck m_muted;
    CSkinButtonPlay m_play;
    CSkinButtonPlay m_pause;
    CSkinRadio m_playlistView;
    CSkinRadio m_videoView;
    CSkinRadioGroup m_views;
    CSkinSlider m_seek;
    CSkinSlider m_volume;
    CSkinSizer m_sizer;
    CSkinScreen m_screen;
    QWidget* m_picture = nullptr; // stands in for the engine's video window; a child of m_screen
    CSkinList m_list;
    std::array<CClipInfo, 5> m_items; // the list's rows point here
    CSkinString* m_status = nullptr;
};
