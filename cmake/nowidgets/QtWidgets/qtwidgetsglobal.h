// Shadows the real header for the data-logic libraries only.
#error "Data-logic code must not include widget headers; move this code to the widget target."
