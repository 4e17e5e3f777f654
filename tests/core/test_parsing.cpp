// placeholder: to be written
