#pragma once

// A link on a UI-thread loop run by the test; only the test's own COM links exist.

#include "device/AhrsLink.h"
#include "device/PlainUiThread.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A page: the notification is handled on its thread, where it asks the link whether it is
// alive, as the wizard's pages do.
class CRecordingPage : public IMessageTarget {
public:
    struct Note {
        int message;
        bool alive;
        bool operator==(const Note&) const = default;
    };
    CRecordingPage(CPlainUiThread& ui, CAhrsLink& link) : ui(ui), link(link) {}
    void PostMessage(int message) override {
        ui.Post([this, message] {
            std::lock_guard lock(mutex);
            received.push_back({message, link.IsLinkAlive()});
        });
    }
    std::vector<Note> Received() const {
        std::lock_guard lock(mutex);
        return received;
    }
    std::size_t Count() const { return Received().size(); }

private:
    CPlainUiThread& ui;
    CAhrsLink& link;
    mutable std::mutex mutex;
    std::vector<Note> received;
};

class CLinkFixture : public ::testing::Test {
public:
    static constexpr int kMessage = 2024;
    static constexpr CRecordingPage::Note kUp{kMessage, true};
    static constexpr CRecordingPage::Note kLost{kMessage, false};

protected:
    // `scale` program milliseconds pass in each real one.
    explicit CLinkFixture(double scale = 20.0) : timeBase(scale), ui(timeBase) {
        places = {dir / "ports", dir / "dev", dir / "sys"};
        std::filesystem::create_directories(places.portsDir);
        std::filesystem::create_directories(places.devRoot);
        Relink(nullptr);
    }
    ~CLinkFixture() override { link.reset(); }

    // The link talks through `transport` (which it owns) from now on; returns it.
    template <class Transport> Transport* UseTransport(std::unique_ptr<Transport> transport) {
        Transport* kept = transport.get();
        Relink(std::move(transport));
        return kept;
    }
    void LinkPort(int number, const std::string& device) {
        std::filesystem::create_symlink(device, std::filesystem::path(places.portsDir) /
                                                    ("COM" + std::to_string(number)));
    }
    // Within a minute of program time, more than any wait of the link.
    bool RunUntil(const std::function<bool()>& done) { return ui.RunUntil(done, 60000); }
    bool WaitForNotes(std::size_t count) {
        return RunUntil([&] { return page->Count() >= count; });
    }

    CTimeBase timeBase;
    CPlainUiThread ui;
    CTempDir dir;
    ComPortPlaces places;
    std::unique_ptr<CAhrsLink> link;
    std::unique_ptr<CRecordingPage> page;

private:
    void Relink(std::unique_ptr<ITransport> transport) {
        page.reset();
        link = std::make_unique<CAhrsLink>(ui, timeBase, places, std::move(transport));
        page = std::make_unique<CRecordingPage>(ui, *link);
        link->Subscribe(page.get(), kMessage);
    }
};
