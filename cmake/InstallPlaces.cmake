# Included by install(CODE) at install time, when the prefix is final: where the per-session files
# go. Sessions read autostart entries from $XDG_CONFIG_DIRS (/etc/xdg) and the user's own
# ~/.config, never from <prefix>/etc; a prefix inside the home folder is a single user's install.
set(NIMBREL_CONFIG_HOME "$ENV{XDG_CONFIG_HOME}")
if(NOT NIMBREL_CONFIG_HOME)
  set(NIMBREL_CONFIG_HOME "$ENV{HOME}/.config")
endif()
if(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "/" AND CMAKE_INSTALL_PREFIX MATCHES "^$ENV{HOME}(/|$)")
  set(NIMBREL_HOME_PREFIX TRUE)
  set(NIMBREL_AUTOSTART_DIR "${NIMBREL_CONFIG_HOME}/autostart")
else()
  set(NIMBREL_HOME_PREFIX FALSE)
  set(NIMBREL_AUTOSTART_DIR "/etc/xdg/autostart")
endif()
