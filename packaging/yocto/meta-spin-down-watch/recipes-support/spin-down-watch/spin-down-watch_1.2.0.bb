# SPDX-License-Identifier: MIT
SUMMARY = "Stops the disks when the kernel asks for a spin-down"
DESCRIPTION = "A small daemon that stops every whole disk once each time the kernel's \
spin-down request /proc/oxa_disk_spin_down rises to 1, by running sg_ioctl_disk on it; and \
sg_ioctl_disk, which spins a disk down or up through SCSI generic (SG_IO)."
SECTION = "admin"
LICENSE = "MIT"
LIC_FILES_CHKSUM = "file://LICENSE;md5=c1813fc7f5f5e2a7171d432a5b7db915"
RECIPE_MAINTAINER = "Seed d1651cc4 maintainers <maintainers@users.noreply.c-seed-d1651cc4.example>"

# Built from the checkout that holds this layer, five levels above this folder; set
# SPIN_DOWN_WATCH_SRC (in local.conf) to build another checkout. The build folder is in the
# work directory, so the checkout stays as it is.
SPIN_DOWN_WATCH_SRC ?= "${@os.path.normpath(d.getVar('FILE_DIRNAME') + '/../../../../..')}"
EXTERNALSRC = "${SPIN_DOWN_WATCH_SRC}"
# No links to the work folders planted in the checkout.
EXTERNALSRC_SYMLINKS = ""

inherit externalsrc cmake update-rc.d systemd

EXTRA_OECMAKE = "-DSPIN_DOWN_TESTS=OFF"

# Both init files; the classes drop the one whose init system the distribution does not have.
# The udev rule gives every SCSI disk restart-on-access, which the unit's sandbox cannot set.
do_install:append() {
	install -D -m 0755 ${S}/packaging/sysvinit/S50spin_down_watch \
		${D}${sysconfdir}/init.d/spin_down_watch
	install -D -m 0644 ${S}/packaging/systemd/spin_down_watch.service \
		${D}${systemd_system_unitdir}/spin_down_watch.service
	install -D -m 0644 ${S}/packaging/udev/60-spin_down_watch.rules \
		${D}${nonarch_base_libdir}/udev/rules.d/60-spin_down_watch.rules
}

# The tool alone is of use on any system with disks; the daemon needs it.
PACKAGES =+ "sg-ioctl-disk"
FILES:sg-ioctl-disk = "${sbindir}/sg_ioctl_disk"
RDEPENDS:${PN} = "sg-ioctl-disk"

INITSCRIPT_NAME = "spin_down_watch"
INITSCRIPT_PARAMS = "defaults 50"
SYSTEMD_SERVICE:${PN} = "spin_down_watch.service"
