# Upload benchmark of the analysis client.
