#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "notes/file_system.h"
#include "pindle/testing/manual_time.h"
#include "pindle/testing/widgets.h"
#include "notes/store.h"
#include "panel/panel_view.h"

namespace pindle::testing {

// A real store on a temporary folder with hand-driven time, and a panel view on it.
class PanelFixture {
public:
    // One note per text, the one at `active` active; no texts leaves the store's own first note.
    explicit PanelFixture(const std::vector<std::string>& texts = {}, std::size_t active = 0);

    Store& store() { return *m_store; }
    PanelView& view() { return *m_view; }
    ManualTime& time() { return m_time; }
    template <typename T = QWidget> T* find(const QString& name) { return m_view->findChild<T*>(name); }

    // Shows the view as a window and waits until it is exposed (and active, when possible).
    void show();

private:
    QTemporaryDir m_folder;
    ManualTime m_time;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<PanelView> m_view;
};

} // namespace pindle::testing
