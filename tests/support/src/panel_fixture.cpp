#include "pindle/testing/panel_fixture.h"

#include <QApplication>
#include <QTest>

namespace pindle::testing {

PanelFixture::PanelFixture(const std::vector<std::string>& texts, std::size_t active) {
    m_store = std::make_unique<Store>(StoreServices{m_time, m_time, PosixFileSystem::instance()},
                                      std::filesystem::path(m_folder.filePath("notes.json").toStdString()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            m_store->addNote();
        }
        m_store->updateActiveText(texts[i]);
    }
    m_store->select(static_cast<std::int64_t>(active));
    m_view = std::make_unique<PanelView>(*m_store, m_time);
}

void PanelFixture::show() {
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    (void)QTest::qWaitForWindowExposed(m_view.get());
    (void)QTest::qWaitForWindowActive(m_view.get());
}

} // namespace pindle::testing
