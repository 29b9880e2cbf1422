/* What Debian's armel build of Qt SerialPort takes from libudev.so.1 and from glibc's loader that
 * the panel's uClibc-ng system does not have (scripts/panel/sdk/qt.sh links it in their place).
 *
 * udev: udev_new() answers "no udev", and Qt SerialPort then lists ports from sysfs; the other
 * calls are reached only through a udev context and answer nothing.
 * The stack protector: glibc's loader exports the guard that -fstack-protector code compares
 * against; uClibc-ng built without SSP has neither the guard nor the failure handler. */
#include <stdlib.h>
#include <unistd.h>

void *udev_new(void) { return 0; }
void *udev_unref(void *udev) { (void)udev; return 0; }
void *udev_enumerate_new(void *udev) { (void)udev; return 0; }
void *udev_enumerate_unref(void *e) { (void)e; return 0; }
int udev_enumerate_add_match_subsystem(void *e, const char *s) { (void)e; (void)s; return -1; }
int udev_enumerate_scan_devices(void *e) { (void)e; return -1; }
void *udev_enumerate_get_list_entry(void *e) { (void)e; return 0; }
void *udev_list_entry_get_next(void *l) { (void)l; return 0; }
const char *udev_list_entry_get_name(void *l) { (void)l; return 0; }
void *udev_device_new_from_syspath(void *udev, const char *p) { (void)udev; (void)p; return 0; }
void *udev_device_unref(void *d) { (void)d; return 0; }
void *udev_device_get_parent(void *d) { (void)d; return 0; }
const char *udev_device_get_devnode(void *d) { (void)d; return 0; }
const char *udev_device_get_driver(void *d) { (void)d; return 0; }
const char *udev_device_get_sysname(void *d) { (void)d; return 0; }
const char *udev_device_get_property_value(void *d, const char *k) { (void)d; (void)k; return 0; }

/* A fixed guard still stops a linear overflow of the canary; the failure ends the process as
 * glibc's does. */
unsigned long __stack_chk_guard = 0xff0a0d00UL;
void __stack_chk_fail(void)
{
    static const char text[] = "*** stack smashing detected ***: terminated\n";
    (void)write(2, text, sizeof text - 1);
    abort();
}
