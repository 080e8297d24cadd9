<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r><xsl:message terminate="yes">stopping</xsl:message></r></xsl:template>
</xsl:stylesheet>
