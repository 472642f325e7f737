// The presenter against a real X server: a virtual one started by the test, with a window of the
// test's own making that the presenter's frames must reach, pixel for pixel.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

#include "EnvGuard.h"
#include "platform/graph/X11Presenter.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kServerWait = 2s; // for the server to start, or to show what it was sent

// Xvfb on the first free display, which it names on a pipe; stopped with the object.
class CVirtualServer {
public:
    CVirtualServer() {
        int names[2];
        if (pipe(names) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(names[0]);
            const std::string fd = std::to_string(names[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(names[1]);
        // The number and its newline may come in more than one write.
        std::string number;
        char got = 0;
        while (read(names[0], &got, 1) == 1 && got != '\n') {
            number += got;
        }
        close(names[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        }
    }
    ~CVirtualServer() { Stop(); }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// The test's own client: it makes the window and reads back what the window shows.
class CClient {
public:
    explicit CClient(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {}
    ~CClient() { xcb_disconnect(m_connection); }

    std::uint32_t MakeWindow(int width, int height) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const std::uint32_t window = xcb_generate_id(m_connection);
        const std::uint32_t white[] = {screen->white_pixel};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0,
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                          white);
        xcb_map_window(m_connection, window);
        Sync();
        return window;
    }
    void Resize(std::uint32_t window, int width, int height) {
        const std::uint32_t size[] = {static_cast<std::uint32_t>(width),
                                      static_cast<std::uint32_t>(height)};
        xcb_configure_window(m_connection, window,
                             XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        Sync();
    }
    void Destroy(std::uint32_t window) {
        xcb_destroy_window(m_connection, window);
        Sync();
    }
    // The pixel as 0xRRGGBB, or -1 when it cannot be read.
    long Pixel(std::uint32_t window, int x, int y) {
        xcb_get_image_reply_t* image =
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window,
                                              static_cast<std::int16_t>(x),
                                              static_cast<std::int16_t>(y), 1, 1, 0xffffffff),
                                nullptr);
        if (image == nullptr) {
            return -1;
        }
        std::uint32_t word = 0;
        std::memcpy(&word, xcb_get_image_data(image), sizeof word);
        std::free(image);
        return static_cast<long>(word & 0xffffff);
    }
    // Whether the pixel comes to show `colour` within the server's wait: the presenter's puts
    // travel on a connection of its own.
    bool Shows(std::uint32_t window, int x, int y, long colour) {
        const auto deadline = std::chrono::steady_clock::now() + kServerWait;
        while (Pixel(window, x, y) != colour) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

private:
    void Sync() {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    xcb_connection_t* const m_connection;
};

// Fills the frame with `colour`, the left half with `left` when given.
auto Fill(QRgb colour, QRgb left = 0) {
    return [=](QImage& image) {
        image.fill(colour);
        if (left != 0) {
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width() / 2; ++x) {
                    image.setPixel(x, y, left);
                }
            }
        }
        return true;
    };
}

} // namespace

// One run through what the video window asks of the presenter: frames reach the window exactly,
// a frame kept at one size fills a window of another, a failed frame leaves black rather than a
// stale picture, and a window or a server that goes away neither hangs nor crashes the caller.
TEST(X11Presenter, FramesReachTheWindowAndLossesNeitherHangNorCrash) {
    {
        CEnvGuard none("DISPLAY", ":99999");
        EXPECT_EQ(CX11Presenter::Open(), nullptr);
    }
    CVirtualServer server;
    if (server.Display().empty()) {
        GTEST_SKIP() << "Xvfb did not start";
    }
    CEnvGuard display("DISPLAY", server.Display());
    std::unique_ptr<CX11Presenter> presenter = CX11Presenter::Open();
    ASSERT_NE(presenter, nullptr);
    CClient client(server.Display());
    const std::uint32_t window = client.MakeWindow(64, 48);

    EXPECT_FALSE(presenter->SetWindow(window + 1000)) << "a window that does not exist";
    // A frame written before the window is known is put once it is.
    ASSERT_TRUE(presenter->Present(QSize(64, 48), Fill(qRgb(10, 200, 30), qRgb(250, 5, 128))));
    ASSERT_TRUE(presenter->SetWindow(window));
    EXPECT_TRUE(presenter->Repaint(QSize(64, 48)));
    EXPECT_TRUE(client.Shows(window, 40, 47, 0x0ac81e));
    EXPECT_EQ(client.Pixel(window, 0, 0), 0xfa0580) << "byte order";

    // Frames at the window's size, one after another into the same memory.
    for (const QRgb colour : {qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(0, 255, 0)}) {
        ASSERT_TRUE(presenter->Present(QSize(64, 48), Fill(colour)));
        EXPECT_TRUE(client.Shows(window, 63, 47, static_cast<long>(colour & 0xffffff)));
    }

    // The window grows while the frame is held: the repaint fills it, from the frame kept at
    // its own size.
    client.Resize(window, 128, 96);
    EXPECT_TRUE(presenter->Repaint(QSize(128, 96)));
    EXPECT_TRUE(client.Shows(window, 127, 95, 0x00ff00));
    EXPECT_EQ(presenter->FrameSize(), QSize(64, 48));

    // A frame that fails leaves nothing stale: the window turns black.
    EXPECT_FALSE(presenter->Present(QSize(128, 96), [](QImage&) { return false; }));
    EXPECT_TRUE(presenter->FrameSize().isEmpty());
    EXPECT_TRUE(presenter->Repaint(QSize(128, 96)));
    EXPECT_TRUE(client.Shows(window, 5, 5, 0x000000));

    // The window goes away under the presenter, then the server itself. The server answers a
    // put into a window it no longer has with an error, which ends the wait as a completion does:
    // six frames take well under one wait for a put that is never reported (250 ms) each.
    client.Destroy(window);
    const auto started = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 6; ++frame) {
        EXPECT_TRUE(presenter->Present(QSize(128, 96), Fill(qRgb(9, 9, 9))));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    server.Stop();
    for (int frame = 0; frame < 3; ++frame) {
        presenter->Present(QSize(128, 96), Fill(qRgb(9, 9, 9)));
    }
    EXPECT_FALSE(presenter->Present(QSize(32, 32), Fill(qRgb(9, 9, 9))));
    presenter.reset();
}
