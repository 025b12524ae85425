#include "tray/TrayLoader.h"

#include <malloc.h>

#include <new>

#include "formats/Errors.h"

namespace {

// The worker's boundary: nothing a read throws may reach the event loop.
LoadResult Read(const TrayLoader::Reader& reader, const QString& path) {
    LoadResult result{path, std::nullopt, QString()};
    try {
        result.animation = reader(path);
    } catch (const EZintraError& e) {
        result.error = QString::fromStdString(e.reason());
    } catch (const std::bad_alloc&) {
        result.error = QString::fromLatin1(messages::kOutOfResources);
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        result.error = QStringLiteral("it could not be read");
    }
    // The loader's document is gone; hand its heap back rather than keep
    // it resident for as long as the player runs.
    malloc_trim(0);
    return result;
}

}  // namespace

TrayLoader::TrayLoader(Reader reader, QObject* parent) : QObject(parent), m_reader(std::move(reader)) {
    m_pool.setMaxThreadCount(1);
}

TrayLoader::~TrayLoader() {
    // A result posted meanwhile is dropped with this object's events.
    m_pool.clear();
    m_pool.waitForDone();
}

void TrayLoader::load(const QString& path) {
    const auto reading = m_reading.find(path);
    if (reading != m_reading.end()) {
        reading.value() = true;
        return;
    }
    m_reading.insert(path, false);
    start(path);
}

void TrayLoader::start(const QString& path) {
    m_pool.start([this, path, reader = m_reader] {
        LoadResult result = Read(reader, path);
        QMetaObject::invokeMethod(this, [this, result = std::move(result)]() mutable { finished(std::move(result)); },
                                  Qt::QueuedConnection);
    });
}

void TrayLoader::finished(LoadResult result) {
    const auto reading = m_reading.find(result.path);
    if (reading.value()) {  // changed since this read began: read it again
        reading.value() = false;
        start(result.path);
        return;
    }
    m_reading.erase(reading);
    emit loaded(result);
}
