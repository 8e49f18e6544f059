#pragma once

#include <QString>
#include <QStringList>

namespace practice {

// What a write created, removed again unless the write completes: a failed run leaves no
// half-written practice behind that would later pass for a real one.
class CreatedFiles {
public:
    // `directories`: directories already created for the write, outermost first.
    explicit CreatedFiles(QStringList directories = {});
    ~CreatedFiles();
    CreatedFiles(const CreatedFiles &) = delete;
    CreatedFiles &operator=(const CreatedFiles &) = delete;

    // Registers a file about to be created.
    void add(const QString &file);
    // The write is complete: keep everything.
    void keep() { kept_ = true; }

private:
    QStringList directories_;
    QStringList files_;
    bool kept_ = false;
};

} // namespace practice
