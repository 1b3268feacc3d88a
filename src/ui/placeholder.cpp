// Window classes live beside this file.
