#The settings dialog of the window program.
add_library(vantrel_settings_dialog STATIC ${CMAKE_CURRENT_LIST_DIR} /
            settings_dialog.cc ${CMAKE_CURRENT_LIST_DIR} / settings_dialog.h)
    set_target_properties(vantrel_settings_dialog PROPERTIES AUTOMOC ON)
        target_link_libraries(vantrel_settings_dialog PUBLIC vantrel_app Qt6::Widgets)
