#include "store/tbase.h"

namespace kirvane {
Tbase::Tbase(QObject *parent) : QObject(parent) {}
Tbase::~Tbase() = default;
bool Tbase::EnsureDataFolder(const QString &, QString *) { return true; }
} // namespace kirvane
