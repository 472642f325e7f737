#include "platform/graph/X11Presenter.h"

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "platform/PlatformLog.h"

namespace {

// See the header: how long a put may take before the server is taken for stalled.
constexpr auto kPutWait = std::chrono::milliseconds(250);
// How long one wait on the connection lasts before the event queue is read again: xcb may have
// read the completion into its queue already, where the socket no longer shows it.
constexpr int kPollSliceMs = 5;
// libswscale's vector code may write a little past the last row of a packed picture.
constexpr std::size_t kScalerSlack = 64;
constexpr std::uint32_t kRgbMasks[] = {0xff0000, 0x00ff00, 0x0000ff};

const char* const kWhere = "CX11Presenter";

// Whether the server takes 32-bit words of 0x??RRGGBB, lowest byte first, for `depth` pixels of
// `visual`, which is QImage's RGB32 on this little-endian machine.
bool TakesRgb32(xcb_connection_t* connection, std::uint8_t depth, xcb_visualid_t visual) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32)) {
        return false;
    }
    bool words = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem != 0;
         xcb_format_next(&formats)) {
        words = words || (formats.data->depth == depth && formats.data->bits_per_pixel == 32);
    }
    for (auto roots = xcb_setup_roots_iterator(setup); roots.rem != 0; xcb_screen_next(&roots)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(roots.data); depths.rem != 0;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem != 0;
                 xcb_visualtype_next(&visuals)) {
                const xcb_visualtype_t& type = *visuals.data;
                if (type.visual_id == visual) {
                    return words && type.red_mask == kRgbMasks[0] &&
                           type.green_mask == kRgbMasks[1] && type.blue_mask == kRgbMasks[2];
                }
            }
        }
    }
    return false;
}

} // namespace

// Memory the server maps read-only through a file descriptor, so that no other process can find
// it by a key and nothing outlives the player.
struct CX11Presenter::CSegment {
    xcb_connection_t* connection = nullptr;
    std::uint32_t id = 0;
    void* memory = MAP_FAILED;
    std::size_t bytes = 0;
    QSize size;
    bool putPending = false;       // the server may still read it
    std::uint32_t putSequence = 0; // the request number of its last put

    ~CSegment() {
        if (memory != MAP_FAILED) {
            // The server keeps its own mapping until it has handled the detach, which it does
            // after every put sent before it.
            xcb_shm_detach(connection, id);
            munmap(memory, bytes);
        }
    }
};

std::unique_ptr<CX11Presenter> CX11Presenter::Open() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        PlatformLog(PLATFORM_LOG_INFO, kWhere, "no X display; frames are painted through Qt");
        return nullptr;
    }
    std::unique_ptr<CX11Presenter> presenter(new CX11Presenter(connection));
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    xcb_shm_query_version_reply_t* version =
        shm != nullptr && shm->present != 0
            ? xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr)
            : nullptr;
    const bool takesDescriptors =
        version != nullptr && (version->major_version > 1 ||
                               (version->major_version == 1 && version->minor_version >= 2));
    std::free(version);
    // A server on another machine lists the extension but cannot map our memory: try it once.
    std::unique_ptr<CSegment> probe;
    if (!takesDescriptors || !presenter->Reserve(probe, QSize(1, 1), EConfirm::Wait)) {
        PlatformLog(PLATFORM_LOG_INFO, kWhere,
                    "the X server cannot share memory with the player; frames are painted "
                    "through Qt");
        return nullptr;
    }
    return presenter;
}

CX11Presenter::CX11Presenter(xcb_connection_t* connection) : m_connection(connection) {}

CX11Presenter::~CX11Presenter() {
    // The segments detach through the connection, so they go before it closes.
    SetWindow(0);
    for (std::unique_ptr<CSegment>& frame : m_frames) {
        frame.reset();
    }
    m_scaled.reset();
    xcb_disconnect(m_connection);
}

bool CX11Presenter::SetWindow(std::uint32_t window) {
    if (window == m_window) {
        return true;
    }
    if (m_context != 0) {
        xcb_free_gc(m_connection, m_context);
        m_context = 0;
    }
    m_window = 0;
    if (window == 0) {
        xcb_flush(m_connection);
        return true;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
    const bool usable = geometry != nullptr && attributes != nullptr &&
                        TakesRgb32(m_connection, geometry->depth, attributes->visual);
    if (usable) {
        m_depth = geometry->depth;
    }
    const bool gone = geometry == nullptr;
    std::free(geometry);
    std::free(attributes);
    if (!usable) {
        PlatformLog(PLATFORM_LOG_INFO, kWhere,
                    gone ? "the video window is gone"
                         : "the video window does not take 32-bit RGB pixels; "
                           "frames are painted through Qt");
        return false;
    }
    m_window = window;
    m_context = xcb_generate_id(m_connection);
    const std::uint32_t values[] = {0 /* black */, 0 /* no graphics exposures */};
    xcb_create_gc(m_connection, m_context, window, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES,
                  values);
    return true;
}

bool CX11Presenter::Present(QSize size, const std::function<bool(QImage& image)>& write) {
    const int back = m_front == 0 ? 1 : 0;
    std::unique_ptr<CSegment>& frame = m_frames[back];
    if (frame) {
        WaitForPut(*frame);
    }
    QImage image;
    if (Reserve(frame, size)) {
        image = ImageOver(*frame);
    }
    if (image.isNull() || !write(image)) {
        m_frames[0].reset();
        m_frames[1].reset();
        m_front = -1;
        return false;
    }
    m_front = back;
    m_scaled.reset();
    if (m_window != 0) {
        Put(*frame);
    }
    return true;
}

bool CX11Presenter::Repaint(QSize windowSize) {
    if (m_window == 0 || windowSize.isEmpty()) {
        return false;
    }
    if (m_front < 0) {
        const xcb_rectangle_t all = {0, 0, static_cast<std::uint16_t>(windowSize.width()),
                                     static_cast<std::uint16_t>(windowSize.height())};
        xcb_poly_fill_rectangle(m_connection, m_window, m_context, 1, &all);
        xcb_flush(m_connection);
        return true;
    }
    CSegment& front = *m_frames[m_front];
    if (front.size == windowSize) {
        return Put(front);
    }
    // Until the next frame comes at the window's size (or while paused): scaled from the frame
    // held, so that resizing back and forth never blurs it.
    if (m_scaled) {
        WaitForPut(*m_scaled);
    }
    if (!Reserve(m_scaled, windowSize)) {
        return false;
    }
    QImage scaled = ImageOver(*m_scaled);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(scaled.rect(), ImageOver(front));
    painter.end();
    return Put(*m_scaled);
}

QSize CX11Presenter::FrameSize() const {
    return m_front >= 0 ? m_frames[m_front]->size : QSize();
}

bool CX11Presenter::Reserve(std::unique_ptr<CSegment>& segment, QSize size, EConfirm confirm) {
    if (segment && segment->size == size) {
        return true;
    }
    segment.reset();
    if (size.isEmpty() || xcb_connection_has_error(m_connection) != 0) {
        return false;
    }
    auto made = std::make_unique<CSegment>();
    made->connection = m_connection;
    made->size = size;
    made->bytes = static_cast<std::size_t>(size.width()) * 4 * size.height() + kScalerSlack;
    const int descriptor = memfd_create("qor-frame", MFD_CLOEXEC);
    if (descriptor < 0 || ftruncate(descriptor, static_cast<off_t>(made->bytes)) != 0) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        LogErrorOnce("no memory for a frame to share");
        return false;
    }
    made->memory = mmap(nullptr, made->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (made->memory == MAP_FAILED) {
        close(descriptor);
        LogErrorOnce("no memory for a frame to share");
        return false;
    }
    made->id = xcb_generate_id(m_connection);
    // xcb closes the descriptor once it is sent; the mapping stays. Only the probe waits for
    // the server's answer: a round trip here would hold the first frame of a new size behind
    // whatever the server is busy with, and a refusal later shows as an error event.
    if (confirm == EConfirm::Later) {
        xcb_shm_attach_fd(m_connection, made->id, descriptor, 1 /* read-only */);
    } else if (xcb_generic_error_t* error =
                   xcb_request_check(m_connection, xcb_shm_attach_fd_checked(m_connection, made->id,
                                                                             descriptor, 1))) {
        std::free(error);
        munmap(made->memory, made->bytes);
        made->memory = MAP_FAILED;
        return false;
    }
    segment = std::move(made);
    return true;
}

bool CX11Presenter::Put(CSegment& segment) {
    const auto width = static_cast<std::uint16_t>(segment.size.width());
    const auto height = static_cast<std::uint16_t>(segment.size.height());
    const xcb_void_cookie_t put = xcb_shm_put_image(
        m_connection, m_window, m_context, width, height, 0, 0, width, height, 0, 0, m_depth,
        XCB_IMAGE_FORMAT_Z_PIXMAP, 1 /* report completion */, segment.id, 0);
    segment.putSequence = put.sequence;
    segment.putPending = true;
    return xcb_flush(m_connection) > 0;
}

void CX11Presenter::WaitForPut(CSegment& segment) {
    const auto deadline = std::chrono::steady_clock::now() + kPutWait;
    for (DrainEvents(); segment.putPending; DrainEvents()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const bool lost = xcb_connection_has_error(m_connection) != 0;
        if (lost || left.count() <= 0) {
            if (!m_loggedSlowPut) {
                m_loggedSlowPut = true;
                PlatformLog(PLATFORM_LOG_ERROR, kWhere,
                            lost ? "the connection to the X server is lost"
                                 : "the X server did not finish showing a frame in time");
            }
            segment.putPending = false;
            return;
        }
        pollfd connection = {xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&connection, 1, std::min<int>(kPollSliceMs, static_cast<int>(left.count())));
    }
}

void CX11Presenter::DrainEvents() {
    // The connection asks for no events but the puts' completions; a put the server refused
    // (its window gone) comes back as an error instead. Either carries the put's sequence, and
    // the server handles requests in order, so any later one means the put is done too.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if (event->response_type == 0) {
            LogErrorOnce("the X server refused a frame, error " +
                         std::to_string(reinterpret_cast<xcb_generic_error_t*>(event)->error_code));
        }
        for (CSegment* segment : {m_frames[0].get(), m_frames[1].get(), m_scaled.get()}) {
            if (segment != nullptr && segment->putPending &&
                static_cast<std::int32_t>(event->full_sequence - segment->putSequence) >= 0) {
                segment->putPending = false;
            }
        }
        std::free(event);
    }
}

QImage CX11Presenter::ImageOver(const CSegment& segment) const {
    return QImage(static_cast<uchar*>(segment.memory), segment.size.width(), segment.size.height(),
                  segment.size.width() * 4, QImage::Format_RGB32);
}

void CX11Presenter::LogErrorOnce(const std::string& text) {
    if (!m_loggedError) {
        m_loggedError = true;
        PlatformLog(PLATFORM_LOG_ERROR, kWhere, text);
    }
}
