# Precompiled headers for the targets whose files spend most of their compile time reading the
# same large headers (Qt Widgets, GoogleTest and GoogleMock): such a target reads them once.
# The project's own headers stay out, so that changing one rebuilds only the files that use it.
option(VANDREL_PCH "Precompile the Qt and GoogleTest headers of the targets that use them" ON)

set(VANDREL_PCH_STD <algorithm> <functional> <map> <memory> <optional> <string> <vector>)
set(VANDREL_PCH_QT <QAction> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout> <QLabel>
    <QLineEdit> <QMenu> <QPushButton> <QString> <QTreeWidget> <QVBoxLayout>)
set(VANDREL_PCH_GTEST <gtest/gtest.h> <gmock/gmock.h>)

# vandrel_precompile(<target> [QT] [GTEST])
function(vandrel_precompile target)
  if(NOT VANDREL_PCH)
    return()
  endif()
  cmake_parse_arguments(P "QT;GTEST" "" "" ${ARGN})
  set(headers ${VANDREL_PCH_STD})
  if(P_QT)
    list(APPEND headers ${VANDREL_PCH_QT})
  endif()
  if(P_GTEST)
    list(APPEND headers ${VANDREL_PCH_GTEST})
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
