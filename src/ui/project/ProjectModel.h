#pragma once

// The project while the program runs, with the settings that shape its output: the one place the
// windows read them from. The setup dialog edits it; the main window, the texture browser and the
// project commands read it, and watch `changed` where a change must show at once. The project's
// file list stays the main window's image list.

#include "formats/Formats.h"
#include "project/ProjectFile.h"
#include "ui/project/ProgramSettings.h"

#include <QObject>
#include <QString>

namespace texelary {

class ProjectModel final : public QObject {
    Q_OBJECT
public:
    // What a change was to: one of the project's four fields, or its output settings.
    enum class Field : std::int32_t { InputDir, OutputDir, ConvFrom, ConvTo, Settings };

    // Starts with an empty project and the default settings.
    explicit ProjectModel(QObject* parent = nullptr);

    // The directories as typed (relative ones as the user gave them), in the windows' form.
    QString InputPath() const { return FromProject(m_project.inputDir); }
    QString OutputPath() const { return FromProject(m_project.outputDir); }
    SourceFormat ConvFrom() const { return m_project.convFrom; }
    TargetFormat ConvTo() const { return m_project.convTo; }
    const ProgramSettings& Settings() const { return m_settings; }
    // The directories and formats, without the files, which are the image list's.
    const Project& Current() const { return m_project; }

    void SetInputPath(const QString& path);
    void SetOutputPath(const QString& path);
    void SetConvFrom(SourceFormat format);
    void SetConvTo(TargetFormat format);
    // A format by its place in the lists; an index that names none is refused (false) and the
    // format stays as it was.
    bool SetConvFromAt(int index);
    bool SetConvToAt(int index);
    // The project's file keeps them when it is saved.
    void SetSettings(const ProgramSettings& settings);

signals:
    // Emitted once for each field that takes a value other than the one it had.
    void changed(texelary::ProjectModel::Field field);

private:
    static QString FromProject(const std::string& path);

    Project m_project;
    ProgramSettings m_settings;
};

} // namespace texelary
