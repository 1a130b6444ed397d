#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "notes/file_system.h"
#include "notes/store.h"
#include "panel/panel_view.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/widgets.h"

namespace pindle::testing {

// A real store on a temporary folder with hand-driven time, and a panel view on it.
class PanelFixture {
public:
    // One note per text, the one at `active` active; no texts leaves the store's own first note.
    explicit PanelFixture(const std::vector<std::string>& texts = {}, std::size_t active = 0)
        : m_store(StoreServices{m_time, m_time, PosixFileSystem::instance()},
                  std::filesystem::path(m_folder.filePath("notes.json").toStdString())) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i > 0) {
                m_store.addNote();
            }
            m_store.updateActiveText(texts[i]);
        }
        m_store.select(static_cast<std::int64_t>(active));
        m_view = std::make_unique<PanelView>(m_store, m_time);
    }

    Store& store() { return m_store; }
    PanelView& view() { return *m_view; }
    ManualTime& time() { return m_time; }
    template <typename T = QWidget> T* find(const QString& name) { return m_view->findChild<T*>(name); }

    // Shows the view as a window and waits until it is exposed (and active, when possible).
    void show() {
        m_view->show();
        QApplication::setActiveWindow(m_view.get());
        (void)QTest::qWaitForWindowExposed(m_view.get());
        (void)QTest::qWaitForWindowActive(m_view.get());
    }

private:
    QTemporaryDir m_folder;
    ManualTime m_time;
    Store m_store;
    std::unique_ptr<PanelView> m_view;
};

} // namespace pindle::testing
