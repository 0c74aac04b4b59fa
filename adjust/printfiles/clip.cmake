# clip.prn: the PW sensor check pattern of the A4 normal paper print.
svc_print_file(NAME clip.prn SOURCES make_clip.cpp LIBS svc_link svc_fake_outside)
