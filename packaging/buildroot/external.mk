# SPDX-License-Identifier: MIT

include $(sort $(wildcard $(BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH)/package/*/*.mk))
