#include "ui/project/ProjectModel.h"

#include "ui/app/LocalPath.h"

namespace texelary {

ProjectModel::ProjectModel(QObject* parent)
    : QObject(parent) {}

QString ProjectModel::FromProject(const std::string& path) {
    return FromLocalPath(path);
}

void ProjectModel::SetInputPath(const QString& path) {
    if (std::string local = LocalPath(path); local != m_project.inputDir) {
        m_project.inputDir = std::move(local);
        emit changed(Field::InputDir);
    }
}

void ProjectModel::SetOutputPath(const QString& path) {
    if (std::string local = LocalPath(path); local != m_project.outputDir) {
        m_project.outputDir = std::move(local);
        emit changed(Field::OutputDir);
    }
}

void ProjectModel::SetConvFrom(SourceFormat format) {
    if (format != m_project.convFrom) {
        m_project.convFrom = format;
        emit changed(Field::ConvFrom);
    }
}

void ProjectModel::SetConvTo(TargetFormat format) {
    if (format != m_project.convTo) {
        m_project.convTo = format;
        emit changed(Field::ConvTo);
    }
}

bool ProjectModel::SetConvFromAt(int index) {
    const auto format = SourceFormatAt(index);
    if (format) {
        SetConvFrom(*format);
    }
    return format.has_value();
}

bool ProjectModel::SetConvToAt(int index) {
    const auto format = TargetFormatAt(index);
    if (format) {
        SetConvTo(*format);
    }
    return format.has_value();
}

void ProjectModel::SetSettings(const ProgramSettings& settings) {
    if (!(settings == m_settings)) {
        m_settings = settings;
        emit changed(Field::Settings);
    }
}

} // namespace texelary
