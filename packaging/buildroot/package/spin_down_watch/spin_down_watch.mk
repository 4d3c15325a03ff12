################################################################################
#
# spin_down_watch
#
################################################################################

# SPDX-License-Identifier: MIT

SPIN_DOWN_WATCH_VERSION = 1.2.0
SPIN_DOWN_WATCH_LICENSE = MIT
SPIN_DOWN_WATCH_LICENSE_FILES = LICENSE

# Built from the checkout that holds this external tree: its root is two levels above the
# tree. To build another checkout, set SPIN_DOWN_WATCH_OVERRIDE_SRCDIR in local.mk. Buildroot
# copies the folder with rsync; the checkout's own build folders stay out of the copy (keep
# Buildroot's output folder outside the checkout too).
SPIN_DOWN_WATCH_SITE = $(realpath $(BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH)/../..)
SPIN_DOWN_WATCH_SITE_METHOD = local
SPIN_DOWN_WATCH_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS = --exclude=/build --exclude='/build-*'
SPIN_DOWN_WATCH_SUPPORTS_IN_SOURCE_BUILD = NO
SPIN_DOWN_WATCH_CONF_OPTS = -DSPIN_DOWN_TESTS=OFF

define SPIN_DOWN_WATCH_INSTALL_INIT_SYSV
	$(INSTALL) -D -m 0755 $(@D)/packaging/sysvinit/S50spin_down_watch \
		$(TARGET_DIR)/etc/init.d/S50spin_down_watch
endef

define SPIN_DOWN_WATCH_INSTALL_INIT_SYSTEMD
	$(INSTALL) -D -m 0644 $(@D)/packaging/systemd/spin_down_watch.service \
		$(TARGET_DIR)/usr/lib/systemd/system/spin_down_watch.service
endef

# Where udev runs, it gives every SCSI disk restart-on-access, which the service unit's sandbox
# cannot set; the tool sets it itself where the daemon runs with full privileges (BusyBox init).
ifeq ($(BR2_PACKAGE_HAS_UDEV),y)
define SPIN_DOWN_WATCH_INSTALL_UDEV_RULE
	$(INSTALL) -D -m 0644 $(@D)/packaging/udev/60-spin_down_watch.rules \
		$(TARGET_DIR)/lib/udev/rules.d/60-spin_down_watch.rules
endef
SPIN_DOWN_WATCH_POST_INSTALL_TARGET_HOOKS += SPIN_DOWN_WATCH_INSTALL_UDEV_RULE
endif

$(eval $(cmake-package))
