#include "GalleryWnd.h"

#include <QPainter>
#include <QPalette>

#include "skin/SkinBitmaps.h"
#include "skin/SkinEvents.h"

namespace {

// The pieces of the window frame in bitmap 20026: x, y, width, height.
constexpr QRect kFramePieces[] = {
    {0, 0, 58, 25},   {59, 0, 10, 25},  {70, 0, 10, 25},  {81, 0, 10, 25},   {0, 26, 58, 25},
    {59, 26, 10, 25}, {70, 26, 10, 25}, {81, 26, 10, 25}, {92, 0, 10, 30},   {103, 0, 10, 30},
    {114, 0, 10, 30}, {125, 0, 5, 10},  {125, 11, 5, 10}, {125, 22, 10, 10},
};

// Where the view radios sit on a strip of the full-screen toolbar's background.
constexpr QRect kToolbarStrip{140, 120, 96, 40};
constexpr int kSizerMinimum = 420;

} // namespace

CGalleryWnd::CGalleryWnd()
    : m_frame(GetSkinBitmap(SKIN_BITMAP_WINDOW_FRAME)),
      m_toolbar(GetSkinBitmap(SKIN_BITMAP_TOOLBAR_BACKGROUND)) {
    setWindowTitle(QStringLiteral("Skin gallery"));

    // Title bar: main menu, minimise, close, anchored to the right edge.
    AddButton(-48, 8, 10, 9, SKIN_BITMAP_MAIN_MENU, 4, L"Main menu");
    AddButton(-34, 8, 10, 9, SKIN_BITMAP_MINIMIZE, 4, L"Minimise");
    AddButton(-20, 8, 10, 9, SKIN_BITMAP_CLOSE, 4, L"Close");
    AddLabel(64, 5, 200, 16, L"Skin gallery");

    AddLabel(15, 40, 115, 20, L"Transport");
    AddButton(140, 40, 20, 20, SKIN_BITMAP_STOP, 4, L"Stop");
    AddButton(165, 40, 20, 20, SKIN_BITMAP_OPEN, 4, L"Open files");
    AddButton(190, 40, 36, 20, SKIN_BITMAP_PREVIOUS, 4, L"Previous file");
    AddButton(231, 40, 36, 20, SKIN_BITMAP_NEXT, 4, L"Next file");
    const CMemDC2* play = GetSkinBitmap(SKIN_BITMAP_PLAY);
    m_play.Create(this, 272, 40, 36, 20, play, 0, 1, 2, 3, 4, 5, 6, 7);
    m_pause.Create(this, 313, 40, 36, 20, play, 0, 1, 2, 3, 4, 5, 6, 7);
    m_play.SetPlayState(EPlayState::Stopped);
    m_pause.SetPlayState(EPlayState::Playing);
    m_play.SetTooltipText(L"Play (stopped)");
    m_pause.SetTooltipText(L"Play (playing: the pause look)");
    const CMemDC2* mute = GetSkinBitmap(SKIN_BITMAP_MUTE);
    m_mute.Create(this, 354, 40, 20, 20, mute, 0, 1, 2, 3, 4, 5, 6, 7);
    m_muted.Create(this, 379, 40, 20, 20, mute, 0, 1, 2, 3, 4, 5, 6, 7);
    m_muted.SetCheck(true);
    m_mute.SetTooltipText(L"Mute");
    m_muted.SetTooltipText(L"Mute (checked)");
    for (CSkinCtrl* control :
         {static_cast<CSkinCtrl*>(&m_play), static_cast<CSkinCtrl*>(&m_pause),
          static_cast<CSkinCtrl*>(&m_mute), static_cast<CSkinCtrl*>(&m_muted)}) {
        Watch(*control);
    }

    // The disabled frames, which no state selects, shown as the normal look of copies.
    AddLabel(15, 66, 115, 20, L"Disabled frames");
    const struct {
        int x, width, height, id;
    } disabled[] = {
        {140, 20, 20, SKIN_BITMAP_STOP},     {165, 20, 20, SKIN_BITMAP_OPEN},
        {190, 36, 20, SKIN_BITMAP_PREVIOUS}, {231, 36, 20, SKIN_BITMAP_NEXT},
        {272, 36, 20, SKIN_BITMAP_PLAY},     {354, 20, 20, SKIN_BITMAP_MUTE},
        {379, 10, 9, SKIN_BITMAP_MAIN_MENU}, {392, 10, 9, SKIN_BITMAP_MINIMIZE},
        {405, 10, 9, SKIN_BITMAP_CLOSE},
    };
    for (const auto& d : disabled) {
        auto button = std::make_unique<CSkinButton>();
        button->Create(this, d.x, 66, d.width, d.height, GetSkinBitmap(d.id), 3, -1, -1, 3);
        m_buttons.push_back(std::move(button));
    }

    AddLabel(15, 92, 115, 20, L"Playlist");
    AddButton(140, 92, 24, 18, SKIN_BITMAP_ADD_FILES, 3, L"Add files");
    AddButton(169, 92, 24, 18, SKIN_BITMAP_DELETE_FILES, 3, L"Delete files");
    AddButton(198, 92, 24, 18, SKIN_BITMAP_LOOP_MODE, 3, L"Loop mode");
    AddButton(227, 92, 24, 18, SKIN_BITMAP_SORT_MODE, 3, L"Sort mode");

    AddLabel(15, 130, 115, 20, L"Views");
    m_playlistView.Create(this, kToolbarStrip.x() + 20, kToolbarStrip.y() + 10, 20, 20,
                          GetSkinBitmap(SKIN_BITMAP_PLAYLIST_VIEW), 0, -1, -1, -1, 1, -1, -1, -1);
    m_videoView.Create(this, kToolbarStrip.x() + 56, kToolbarStrip.y() + 10, 20, 20,
                       GetSkinBitmap(SKIN_BITMAP_VIDEO_VIEW), 0, -1, -1, -1, 1, -1, -1, -1);
    m_playlistView.SetTooltipText(L"Playlist view");
    m_videoView.SetTooltipText(L"Video view");
    m_views.Add(&m_playlistView);
    m_views.Add(&m_videoView);
    m_views.Select(&m_videoView);
    Watch(m_playlistView);
    Watch(m_videoView);

    AddLabel(15, 172, 115, 20, L"Seek");
    m_seek.Create(this, true, 140, 176, 250, 12, GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK), 12, 12,
                  GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB));
    m_seek.SetRange(1000);
    m_seek.SetPos(300);
    m_volume.Create(this, false, 440, 40, 12, 150, GetSkinBitmap(SKIN_BITMAP_SLIDER_TRACK), 12, 12,
                    GetSkinBitmap(SKIN_BITMAP_SLIDER_THUMB));
    m_volume.SetRange(100);
    m_volume.SetPos(40);
    for (CSkinSlider* slider : {&m_seek, &m_volume}) {
        slider->Subscribe(this, SkinEvents::SliderPosChanged,
                          RegisterHandler(&CGalleryWnd::OnSliderChanged));
        slider->Subscribe(this, SkinEvents::SliderPosHovered,
                          RegisterHandler(&CGalleryWnd::OnSliderHovered));
    }

    AddLabel(15, 200, 115, 20, L"Labels");
    AddLabel(140, 200, 150, 20, L"A title far too long to fit in this label, cut at the end");
    AddLabel(300, 200, 90, 20, L"Highlighted").SetHighlight(true);

    m_sizer.Create(this, -40, 30, 10, -35, kSizerMinimum);
    m_sizer.SetTooltipText(L"Splitter: drag sideways, click the box");
    m_sizer.Subscribe(this, SkinEvents::SkinSizerPosChanged,
                      RegisterHandler(&CGalleryWnd::OnSizerMoved));
    m_sizer.Subscribe(this, SkinEvents::SkinSizerBoxChecked,
                      RegisterHandler(&CGalleryWnd::OnBoxChecked));
    AddChild(&m_sizer);

    // The video screen with a 4:3 picture stand-in, and the playlist with an active and a
    // failed row, between the sliders and the splitter.
    m_screen.Create(this, -270, 30, 220, 110);
    m_picture = new QWidget(&m_screen);
    m_picture->setAutoFillBackground(true);
    m_picture->setPalette(QPalette(QColor(70, 110, 160)));
    m_screen.SetVideoWindow(m_picture);
    m_screen.SetVideoSize({640, 480});
    AddChild(&m_screen);
    m_list.Create(this, -270, 150, 220, -65);
    const wchar_t* const titles[] = {L"Opening.mkv", L"Harbour at dawn.mp4", L"Missing.avi",
                                     L"Interview.webm", L"Credits.mp4"};
    // Durations as the playlist writes them (whole minutes, or hours with one decimal).
    const wchar_t* const durations[] = {L"1m", L"13m", L"", L"1.2h", L"2m"};
    for (int row = 0; row < static_cast<int>(m_items.size()); ++row) {
        m_items[row].title = titles[row];
        m_list.InsertItem(row, titles[row]);
        m_list.SetItemText(row, 1, durations[row]);
        m_list.SetItemData(row, &m_items[row]);
    }
    m_items[2].loadFailed = 1;
    m_list.SetActiveItem(1);
    m_list.ResizeColumns();
    AddChild(&m_list);

    m_status = &AddLabel(15, -58, -60, 20, L"Hover, press and drag the controls.");
}

CSkinButton& CGalleryWnd::AddButton(int x, int y, int width, int height, int bitmapId, int frames,
                                    const wchar_t* tooltip) {
    auto button = std::make_unique<CSkinButton>();
    button->Create(this, x, y, width, height, GetSkinBitmap(bitmapId), 0, 1, 2,
                   frames > 3 ? 3 : -1);
    button->SetTooltipText(tooltip);
    Watch(*button);
    AddChild(button.get());
    m_buttons.push_back(std::move(button));
    return *m_buttons.back();
}

CSkinString& CGalleryWnd::AddLabel(int x, int y, int width, int height, const wchar_t* text) {
    auto label = std::make_unique<CSkinString>();
    label->Create(this, x, y, width, height, -1, CSkinString::kDefaultFontHeight);
    label->SetText(text);
    AddChild(label.get());
    m_labels.push_back(std::move(label));
    return *m_labels.back();
}

void CGalleryWnd::Watch(CSkinCtrl& control) {
    control.Subscribe(this, SkinEvents::LeftClicked, RegisterHandler(&CGalleryWnd::OnClicked));
}

bool CGalleryWnd::GetFramePiece(int index, const CMemDC2*& skin, QRect& source) const {
    if (index < 0 || index >= static_cast<int>(std::size(kFramePieces))) {
        return false;
    }
    skin = m_frame;
    source = kFramePieces[index];
    return true;
}

void CGalleryWnd::PaintFrame(QPainter& painter) {
    CSkinWnd::PaintFrame(painter);
    const CMemDC2* toolbar = m_toolbar;
    toolbar->Tile(painter, kToolbarStrip, toolbar->Bounds());
}

void CGalleryWnd::OnClicked(ISubject* sender, EventArg /*x*/, EventArg /*y*/) {
    auto* control = dynamic_cast<CSkinCtrl*>(sender);
    if (control == &m_playlistView || control == &m_videoView) {
        m_views.Select(static_cast<CSkinRadio*>(control));
    }
    const std::wstring name = control != nullptr ? control->GetTooltipText() : std::wstring();
    Say(L"Clicked: " + name);
}

void CGalleryWnd::OnSliderChanged(ISubject* sender, EventArg value, EventArg span) {
    Say((sender == &m_seek ? L"Seek to " : L"Volume ") + std::to_wstring(value) + L" (span " +
        std::to_wstring(span) + L")");
}

void CGalleryWnd::OnSliderHovered(ISubject* sender, EventArg value, EventArg /*span*/) {
    Say((sender == &m_seek ? L"Seek hover " : L"Volume hover ") + std::to_wstring(value));
}

void CGalleryWnd::OnSizerMoved(ISubject* /*sender*/, EventArg position, EventArg pressX) {
    m_sizer.move(static_cast<int>(position - pressX), m_sizer.y());
    Say(L"Splitter released at " + std::to_wstring(position));
}

void CGalleryWnd::OnBoxChecked(ISubject* /*sender*/, EventArg checked, EventArg /*unused*/) {
    Say(checked != 0 ? L"Splitter box checked" : L"Splitter box cleared");
}

void CGalleryWnd::Say(const std::wstring& text) {
    m_status->SetText(text);
}
